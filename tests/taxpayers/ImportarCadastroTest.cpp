// The register brought over from the older program's dipam.mdb, through the main window's menu and
// the preview window, with files written at test time by our Access writer.

#include "app/Abertura.h"
#include "app/Principal.h"
#include "app/Startup.h"
#include "platform/FileDialog.h"
#include "storage/Cadastro.h"
#include "storage/Database.h"
#include "support/DipamMdb.h"
#include "support/GuiTest.h"
#include "support/TestProgramDir.h"
#include "taxpayers/frmImportarCadastro.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tervalia;
using test::child;
using Janela = frmImportarCadastro;

namespace {
ContadorRecord contador(const QString& nome)
{
    ContadorRecord c;
    c.cpfCnpj = QStringLiteral("390.533.447-05");
    c.razaoNome = nome;
    c.nomCidade = QStringLiteral("Ostare");
    c.nomEstado = QStringLiteral("MG");
    c.email = QStringLiteral("ana@exemplo.com.br");
    return c;
}

QList<ContribuinteRecord> ordenadas(QList<ContribuinteRecord> lista)
{
    std::sort(lista.begin(), lista.end(),
              [](const ContribuinteRecord& a, const ContribuinteRecord& b) { return a.ie < b.ie; });
    return lista;
}

// What the import may change: the accountant and the companies.
std::pair<std::optional<ContadorRecord>, QList<ContribuinteRecord>> cadastroAtual()
{
    return {cadastro::readContador(), ordenadas(cadastro::listContribuintes())};
}

QStringList coluna(const QTableWidget* grid, int c)
{
    QStringList textos;
    for (int linha = 0; linha < grid->rowCount(); ++linha)
        textos << grid->item(linha, c)->text();
    return textos;
}

QList<QVariantList> linhas(const QList<ContribuinteRecord>& empresas)
{
    QList<QVariantList> lista;
    for (const ContribuinteRecord& c : empresas)
        lista << test::linhaEmpresa(c);
    return lista;
}
} // namespace

class ImportarCadastroTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void importacao_data();
    void importacao();
    void marcas();
    void arquivoRecusado_data();
    void arquivoRecusado();
    void falhaDoBancoNadaGrava();

private:
    Principal* abrePrincipal();
    // Picks the file through the menu item; the preview window, when it opened.
    Janela* escolhe(const QString& arquivo);
    // Presses "Importar" and returns the summary shown.
    QString importa(Janela* janela);

    std::unique_ptr<test::TestProgramDir> m_dir;
    QTemporaryDir m_arquivos;
};

void ImportarCadastroTest::init()
{
    m_dir = std::make_unique<test::TestProgramDir>();
    test::startGuiTest();
}

void ImportarCadastroTest::cleanup()
{
    test::finishGuiTest();
    m_dir.reset();
}

Principal* ImportarCadastroTest::abrePrincipal()
{
    startUp();
    QTest::mouseClick(child<QPushButton>(Abertura::existing(), "Command1"), Qt::LeftButton);
    return Principal::existing();
}

Janela* ImportarCadastroTest::escolhe(const QString& arquivo)
{
    FileDialog::queueAnswer(arquivo);
    child<QAction>(Principal::existing(), "mnImportarCadastro")->trigger();
    return Janela::existing();
}

QString ImportarCadastroTest::importa(Janela* janela)
{
    QTest::mouseClick(child<QPushButton>(janela, "cmdImportar"), Qt::LeftButton);
    const auto mensagens = test::takeMessages();
    return mensagens.size() == 1 ? mensagens[0].text : QStringLiteral("%1 mensagens").arg(mensagens.size());
}

void ImportarCadastroTest::importacao_data()
{
    QTest::addColumn<int>("quantas");
    QTest::addColumn<bool>("misturados");
    QTest::addColumn<QString>("senha");
    QTest::newRow("nenhuma empresa") << 0 << false << QString();
    QTest::newRow("uma empresa, com senha") << 1 << false << QStringLiteral("segredo");
    QTest::newRow("duas mil empresas, colunas em outra caixa") << 2000 << true << QString();
}

// Everything of the file is new here: all of it is stored, the accountant too; a second import of
// the same file finds every company with the same data and changes nothing.
void ImportarCadastroTest::importacao()
{
    QFETCH(int, quantas);
    QFETCH(bool, misturados);
    QFETCH(QString, senha);
    QList<ContribuinteRecord> empresas;
    for (int i = 0; i < quantas; ++i)
        empresas << test::empresaValida(i);
    if (quantas == 1) {
        empresas[0].razaoSocial = QStringLiteral("Padaria D'Ávila & Filhos — Pão de Açúcar");
        empresas[0].ccm = QString(); // NULL
        empresas[0].optanteSimples = true;
    }
    const QString arquivo = m_arquivos.filePath(QStringLiteral("dipam.mdb"));
    const ContadorRecord ana = contador(QStringLiteral("ANA BEATRIZ CONCEIÇÃO D'ÁVILA"));
    QCOMPARE(test::escreveDipamMdb(arquivo, ana, linhas(empresas), {misturados, {}, false, senha}), QString());
    Principal* p = abrePrincipal();

    Janela* janela = escolhe(arquivo);
    QVERIFY(janela && janela->isVisible());
    QVERIFY(!p->isEnabled());
    auto* grid = child<QTableWidget>(janela, "GridEmpresas");
    QCOMPARE(grid->rowCount(), quantas);
    QCOMPARE(coluna(grid, Janela::ColSituacao), QStringList(quantas, QStringLiteral("Nova")));
    QCOMPARE(child<QLabel>(janela, "lblContadorLocal")->text(),
             QStringLiteral("Nenhum contador cadastrado: o do arquivo será cadastrado."));
    QVERIFY(child<QLabel>(janela, "lblContadorArquivo")->text().startsWith(ana.razaoNome));
    if (quantas == 0)
        QCOMPARE(child<QLabel>(janela, "lblResumo")->text(), QStringLiteral("O arquivo não tem empresas."));
    const QString resumo = importa(janela);
    QVERIFY2(resumo.contains(QStringLiteral("Empresas importadas: %1\r\n").arg(quantas)), qPrintable(resumo));
    QVERIFY(resumo.endsWith(QStringLiteral("Contador: gravado com os dados do arquivo.")));
    QTRY_VERIFY(!Janela::existing());
    QVERIFY(p->isEnabled());
    QCOMPARE(cadastroAtual(), std::make_pair(std::optional(ana), ordenadas(empresas)));

    // The same file again.
    janela = escolhe(arquivo);
    QVERIFY(janela);
    QCOMPARE(coluna(child<QTableWidget>(janela, "GridEmpresas"), Janela::ColSituacao),
             QStringList(quantas, QStringLiteral("Já cadastrada, mesmos dados")));
    QVERIFY(child<QLabel>(janela, "lblContadorLocal")->text().endsWith(QStringLiteral("(o mesmo do arquivo)")));
    QVERIFY(!child<QCheckBox>(janela, "chkSubstituirContador")->isEnabled());
    const auto antes = cadastroAtual();
    QCOMPARE(importa(janela), QStringLiteral("Importação concluída.\r\n\r\nEmpresas importadas: 0\r\nEmpresas já "
                                             "cadastradas substituídas pelos dados do arquivo: 0\r\nEmpresas mantidas "
                                             "como estavam: %1\r\nEmpresas recusadas: 0\r\nContador: mantido como "
                                             "estava.")
                                  .arg(quantas));
    QCOMPARE(cadastroAtual(), antes);
}

// Every mark of the preview, the registered value shown under each one that differs, the companies
// ticked for replacing and the accountant replaced on request; unusable companies never stored.
void ImportarCadastroTest::marcas()
{
    const ContribuinteRecord mesma = test::empresaValida(1);
    ContribuinteRecord outra = test::empresaValida(2), outraAqui = outra;
    outra.razaoSocial = QStringLiteral("Nova Razão D'Oeste Ltda");
    outraAqui.razaoSocial = QStringLiteral("Antiga Razão Ltda");
    outraAqui.chave = QStringLiteral("ANTIGA01");
    ContribuinteRecord nova = test::empresaValida(3), comBrancos = test::empresaValida(4);
    nova.razaoSocial = QStringLiteral("Açougue D'Ouro");
    nova.ccm = QString();
    ContribuinteRecord semIe = test::empresaValida(5), cnpjErrado = test::empresaValida(6);
    ContribuinteRecord chaveCurta = test::empresaValida(7), semChave = test::empresaValida(8), repetida = nova;
    const int ultimo = cnpjErrado.cnpj.back().digitValue();
    cnpjErrado.cnpj.chop(1);
    cnpjErrado.cnpj += QString::number((ultimo + 1) % 10);
    chaveCurta.chave.chop(1);
    repetida.razaoSocial = QStringLiteral("Outra com a mesma IE");
    QList<QVariantList> arquivo = linhas({mesma, outra, nova, semIe, cnpjErrado, chaveCurta, semChave, repetida});
    arquivo[3][0] = QVariant(); // IE NULL
    arquivo[6][4] = QVariant(); // key NULL
    QVariantList brancos = test::linhaEmpresa(comBrancos);
    brancos[1] = QStringLiteral("  ") + comBrancos.razaoSocial + QStringLiteral("   ");
    arquivo << brancos;
    const QString caminho = m_arquivos.filePath(QStringLiteral("marcas.mdb"));
    const ContadorRecord doArquivo = contador(QStringLiteral("ANA BEATRIZ")), daqui = contador(QStringLiteral("OUTRO"));
    QCOMPARE(test::escreveDipamMdb(caminho, doArquivo, arquivo), QString());
    cadastro::replaceContador(daqui);
    cadastro::insertContribuinte(mesma);
    cadastro::insertContribuinte(outraAqui);
    abrePrincipal();

    Janela* janela = escolhe(caminho);
    QVERIFY(janela);
    auto* grid = child<QTableWidget>(janela, "GridEmpresas");
    QCOMPARE(coluna(grid, Janela::ColSituacao),
             (QStringList{"Já cadastrada, mesmos dados", "Já cadastrada, outros dados", "Nova", "Inutilizável: sem IE",
                          "Inutilizável: CNPJ inválido", "Inutilizável: chave sem 8 caracteres",
                          "Inutilizável: sem chave", "Inutilizável: IE repetida no arquivo", "Nova"}));
    QCOMPARE(grid->item(1, Janela::ColRazaoSocial)->text(),
             QStringLiteral("Nova Razão D'Oeste Ltda\n(aqui: Antiga Razão Ltda)"));
    QCOMPARE(grid->item(1, Janela::ColChave)->text(), outra.chave + QStringLiteral("\n(aqui: ANTIGA01)"));
    QCOMPARE(grid->item(1, Janela::ColIE)->text(), outra.ie);
    QCOMPARE(grid->item(8, Janela::ColRazaoSocial)->text(), comBrancos.razaoSocial);
    QVERIFY(child<QLabel>(janela, "lblResumo")
                ->text()
                .startsWith(QStringLiteral("9 empresas no arquivo: 2 novas, 1 já cadastradas com os mesmos dados, 1 já "
                                           "cadastradas com outros dados, 5")));
    auto* substituirContador = child<QCheckBox>(janela, "chkSubstituirContador");
    QVERIFY(substituirContador->isEnabled() && !substituirContador->isChecked());
    QTest::mouseClick(substituirContador, Qt::LeftButton, {}, QPoint(8, substituirContador->height() / 2));
    QTest::mouseClick(child<QPushButton>(janela, "cmdMarcarTodas"), Qt::LeftButton);
    QCOMPARE(grid->item(1, Janela::ColSituacao)->checkState(), Qt::Checked);

    QCOMPARE(importa(janela), QStringLiteral("Importação concluída.\r\n\r\nEmpresas importadas: 2\r\nEmpresas já "
                                             "cadastradas substituídas pelos dados do arquivo: 1\r\nEmpresas mantidas "
                                             "como estavam: 1\r\nEmpresas recusadas: 5\r\nContador: gravado com os "
                                             "dados do arquivo."));
    QCOMPARE(cadastroAtual(), std::make_pair(std::optional(doArquivo), ordenadas({mesma, outra, nova, comBrancos})));

    janela = escolhe(caminho);
    QCOMPARE(coluna(child<QTableWidget>(janela, "GridEmpresas"), Janela::ColSituacao)
                 .count(QStringLiteral("Já cadastrada, mesmos dados")),
             4);
    const auto antes = cadastroAtual();
    QVERIFY(importa(janela).contains(QStringLiteral("importadas: 0\r\n")));
    QCOMPARE(cadastroAtual(), antes);
}

void ImportarCadastroTest::arquivoRecusado_data()
{
    QTest::addColumn<QString>("caso");
    QTest::addColumn<QString>("mensagem");
    QTest::newRow("não é Access") << "texto"
                                  << "não é um banco de dados do Access (.mdb).";
    QTest::newRow("sem a tabela")
        << "semTabela"
        << "O arquivo não tem a tabela tblContribuinte: não é o dipam.mdb do programa anterior.";
    QTest::newRow("sem colunas") << "semColunas"
                                 << "A tabela tblContribuinte do arquivo não tem as colunas: Chave, CCM.";
    QTest::newRow("danificado") << "danificado"
                                << "está danificado: o Access não consegue ler o seu conteúdo.";
    QTest::newRow("em uso") << "emUso"
                            << "O arquivo está em uso pelo programa anterior (existe \"dipam.ldb\"";
    QTest::newRow("inexistente") << "inexistente"
                                 << "não existe ou não pode ser lido.";
}

// A file that cannot be used says why in Portuguese, opens no preview and stores nothing.
void ImportarCadastroTest::arquivoRecusado()
{
    QFETCH(QString, caso);
    QFETCH(QString, mensagem);
    const QString arquivo = m_arquivos.filePath(QStringLiteral("dipam.mdb"));
    QFile::remove(arquivo);
    QFile::remove(m_arquivos.filePath(QStringLiteral("dipam.ldb")));
    test::LayoutDipamMdb layout;
    layout.semTabelaEmpresas = caso == QLatin1String("semTabela");
    if (caso == QLatin1String("semColunas"))
        layout.semColunas = QStringList{QStringLiteral("Chave"), QStringLiteral("CCM")};
    if (caso != QLatin1String("inexistente"))
        QCOMPARE(test::escreveDipamMdb(arquivo, contador(QStringLiteral("ANA")),
                                       linhas({test::empresaValida(1), test::empresaValida(2)}), layout),
                 QString());
    QFile f(arquivo);
    if (caso == QLatin1String("texto")) {
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("IE;RazaoSocial\n7001234500028;Mercearia\n") > 0);
    } else if (caso == QLatin1String("danificado")) {
        QVERIFY(f.resize(8192)); // the header without the catalog
    } else if (caso == QLatin1String("emUso")) {
        QFile bloqueio(m_arquivos.filePath(QStringLiteral("dipam.ldb")));
        QVERIFY(bloqueio.open(QIODevice::WriteOnly));
    }
    cadastro::insertContribuinte(test::empresaValida(9));
    const auto antes = cadastroAtual();
    Principal* p = abrePrincipal();

    QVERIFY(!escolhe(arquivo));
    const auto mensagens = test::takeMessages();
    QCOMPARE(mensagens.size(), 1);
    QCOMPARE(mensagens[0].icon, QMessageBox::Warning);
    QVERIFY2(mensagens[0].text.startsWith(QStringLiteral("O cadastro não pode ser importado deste arquivo.\r\n")),
             qPrintable(mensagens[0].text));
    QVERIFY2(mensagens[0].text.contains(mensagem), qPrintable(mensagens[0].text));
    QVERIFY(mensagens[0].text.endsWith(QStringLiteral("Nada foi gravado.")));
    QVERIFY(p->isEnabled());
    QCOMPARE(cadastroAtual(), antes);
}

// The database refuses one company in the middle: nothing at all is stored, the report says why,
// and the preview stays for another try.
void ImportarCadastroTest::falhaDoBancoNadaGrava()
{
    const QString arquivo = m_arquivos.filePath(QStringLiteral("dipam.mdb"));
    QList<ContribuinteRecord> empresas;
    for (int i = 0; i < 5; ++i)
        empresas << test::empresaValida(i);
    QCOMPARE(test::escreveDipamMdb(arquivo, contador(QStringLiteral("ANA")), linhas(empresas)), QString());
    {
        Connection db;
        db.exec(QStringLiteral("create trigger recusa before insert on tblContribuinte when new.IE = '%1' "
                               "begin select raise(abort, 'recusada'); end")
                    .arg(empresas[3].ie));
    }
    abrePrincipal();
    Janela* janela = escolhe(arquivo);
    QVERIFY(janela);
    QTest::mouseClick(child<QPushButton>(janela, "cmdImportar"), Qt::LeftButton);
    const auto mensagens = test::takeMessages();
    QCOMPARE(mensagens.size(), 1);
    QVERIFY2(mensagens[0].text.startsWith(QStringLiteral("\r\nVB Error # ")), qPrintable(mensagens[0].text));
    QVERIFY(mensagens[0].text.contains(QStringLiteral("O banco de dados recusou a operação. (recusada")));
    QCOMPARE(cadastroAtual(), std::make_pair(std::optional<ContadorRecord>(), QList<ContribuinteRecord>()));
    QVERIFY(Janela::existing() && Janela::existing()->isVisible());
}

QTEST_MAIN(ImportarCadastroTest)
#include "ImportarCadastroTest.moc"
