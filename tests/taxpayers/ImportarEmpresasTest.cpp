// The company import window, on the shared NovaGIA Access files, against the stand-in server and
// against scripted answers.

#include "taxpayers/ImportarEmpresas.h"
#include "app/Principal.h"
#include "net/HttpDouble.h"
#include "platform/CertStore.h"
#include "platform/EscolhaCertificado.h"
#include "platform/FileDialog.h"
#include "storage/Cadastro.h"
#include "storage/Database.h"
#include "support/GuiTest.h"
#include "support/StandInServer.h"
#include "support/TestCertificates.h"
#include "support/TestProgramDir.h"
#include "taxpayers/ImportacaoEmpresa.h"
#include "taxpayers/SelecionarCertificado.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <memory>

using namespace tervalia;
using test::CertProfile;
using test::child;
using test::TestCertificates;

namespace {
const QString tituloMG = QStringLiteral("Tervalia - MG");
const QString concluida = QStringLiteral("Importação Concluída");
const QString expirado = QStringLiteral("Certificado expirado, contate seu fornecedor");

QString fixture(const char* nome)
{
    return QDir(QStringLiteral(TERVALIA_FIXTURES_DIR "/access")).filePath(QString::fromLatin1(nome));
}

QByteArray respostaSoap(const QString& retorno)
{
    return test::HttpDouble::soapAnswer(QStringLiteral("Transferencia.ecnpj"), retorno);
}

// A scripted answer by kind: "ok" and "okS" (Simples) carry key CHAVE00n for request n; "nao" is a
// refusal; "depois" and "antes" carry dates outside any test certificate's validity; "ilegivel" is
// an error page; "corta" closes the connection without a word.
QByteArray resposta(const QString& tipo, int n)
{
    const QString agora = QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    const auto chave = [n](const QString& data, char simples) {
        return respostaSoap(QStringLiteral("DATAHORA_SERVIDOR = %1 SIMPLES = %2 CHAVE = CHAVE00%3")
                                .arg(data, QChar::fromLatin1(simples))
                                .arg(n));
    };
    if (tipo == u"ok")
        return chave(agora, 'N');
    if (tipo == u"okS")
        return chave(agora, 'S');
    if (tipo == u"depois")
        return chave(QStringLiteral("01/01/2099 10:00:00"), 'N');
    if (tipo == u"antes")
        return chave(QStringLiteral("01/01/2001 10:00:00"), 'N');
    if (tipo == u"nao")
        return respostaSoap(QStringLiteral("NAO_AUTORIZADO"));
    if (tipo == u"ilegivel")
        return test::HttpDouble::answer("<html>erro interno</html>", "text/html", "500 Internal Server Error");
    return {};
}

QString naoAutorizada(const EmpresaNovaGia& e)
{
    return QStringLiteral("Não é possível cadastrar a empresa: \r\n\r\n") + e.razaoSocial +
           QStringLiteral(" \r\nInscrição Estadual: ") + e.ie +
           QStringLiteral("\r\n\r\nEmpresa não está cadastrada nos servidores da Prefeitura.\r\nSe a empresa "
                          "pertencer ao Muncípio, por favor, nos informe imediatamente.");
}

QString jaCadastrada(const EmpresaNovaGia& e)
{
    return QStringLiteral("Empresa já cadastrada anteriormente: \r\n\r\n") + e.razaoSocial +
           QStringLiteral(" \r\nInscrição Estadual: ") + e.ie +
           QStringLiteral("\r\n\r\nA empresa não será cadastrada, para não gerar duplicidade");
}

QStringList ies(const QList<ContribuinteRecord>& registros)
{
    QStringList lista;
    for (const ContribuinteRecord& r : registros)
        lista << r.ie;
    return lista;
}
} // namespace

class ImportarEmpresasTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void windowAndFileChoice();
    void preview_data();
    void preview();
    void pathTypedByHandNeedsItsOwnPreview();
    void importFromTheStandInServer();
    void outcomes_data();
    void outcomes();
    void progressLine();
    void cancelledChooserImportsNothing();
    void crlReadingGoesOn();
    void databaseFailureStops();
    void missingRegisterStopsBeforeTheChooser();
    void valuesHoldingApostrophesAreBound();

private:
    ImportarEmpresas* previa(const QString& arquivo);
    void importa(ImportarEmpresas* janela, int titular = 0);
    QList<MessageBox::Shown> messages() { return test::takeMessages(); }

    std::unique_ptr<TestCertificates> m_certs;
    QTemporaryDir m_home;
    QStringList m_holders;
    QByteArray m_savedHome;
    QList<EmpresaNovaGia> m_cinco; // the companies of novagia-5.mdb, in file order
    std::unique_ptr<test::TestProgramDir> m_dir;
    std::unique_ptr<test::HttpDouble> m_http;
};

void ImportarEmpresasTest::initTestCase()
{
    if (!QFile::exists(fixture("novagia-5.mdb")))
        QFAIL(qPrintable(QStringLiteral("The shared Access fixtures are not at %1").arg(fixture(""))));
    m_cinco = lerExportacaoNovaGia(fixture("novagia-5.mdb")).empresas;
    QCOMPARE(m_cinco.size(), 5);
    m_savedHome = qgetenv("HOME");
    certstore::setP11KitProxyPathForTests({});
    m_certs = std::make_unique<TestCertificates>();
    CertProfile empresa{QStringLiteral("EMPRESA TESTE LTDA"), TestCertificates::companyCnpj};
    CertProfile quebrada{QStringLiteral("EMPRESA LCR QUEBRADA LTDA"), QStringLiteral("60470198000107")};
    quebrada.brokenCrlExtension = true;
    m_holders = m_certs->installStore(m_home.path(), {empresa, quebrada});
}

void ImportarEmpresasTest::init()
{
    qputenv("HOME", QFile::encodeName(m_home.path()));
    test::startGuiTest();
    m_dir = std::make_unique<test::TestProgramDir>();
    m_http = std::make_unique<test::HttpDouble>();
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), m_http->port());
}

void ImportarEmpresasTest::cleanup()
{
    test::finishGuiTest();
    m_http.reset();
    m_dir.reset();
    qputenv("HOME", m_savedHome);
}

// Opens the window, chooses the file and runs "Carregar Dados".
ImportarEmpresas* ImportarEmpresasTest::previa(const QString& arquivo)
{
    ImportarEmpresas* janela = ImportarEmpresas::abrir();
    FileDialog::queueAnswer(arquivo);
    child<QPushButton>(janela, "Command2")->click();
    child<QPushButton>(janela, "Command3")->click();
    return janela;
}

void ImportarEmpresasTest::importa(ImportarEmpresas* janela, int titular)
{
    auto* importar = child<QPushButton>(janela, "Command1");
    QVERIFY(importar->isVisibleTo(janela));
    EscolhaCertificado::queueEscolha(m_holders[titular]);
    importar->click();
}

void ImportarEmpresasTest::windowAndFileChoice()
{
    ImportarEmpresas* janela = ImportarEmpresas::abrir();
    QCOMPARE(ImportarEmpresas::abrir(), janela); // one instance, brought to the front
    QCOMPARE(janela->windowTitle(), QStringLiteral("Cadastro de Empresas - Através do Arquivo NovaGIA - Importação"));
    auto* texto = child<QLineEdit>(janela, "Text1");
    auto* carregar = child<QPushButton>(janela, "Command3");
    QCOMPARE(texto->text(), QStringLiteral("Selecione o arquivo a importar"));
    QVERIFY(!carregar->isVisible());
    QVERIFY(!child<QTableWidget>(janela, "MSFlexGrid1")->isVisible());
    QVERIFY(!child<QPushButton>(janela, "Command1")->isVisible());

    child<QPushButton>(janela, "Command2")->click(); // cancelled
    QCOMPARE(texto->text(), QStringLiteral("Selecione o arquivo a importar"));
    QVERIFY(!carregar->isVisible());
    FileDialog::queueAnswer(fixture("novagia-5.mdb"));
    child<QPushButton>(janela, "Command2")->click();
    QCOMPARE(texto->text(), fixture("novagia-5.mdb"));
    QVERIFY(carregar->isVisible());
    const auto dialogos = FileDialog::takeShown();
    QCOMPARE(dialogos.size(), 2);
    QCOMPARE(dialogos[0].caption, QStringLiteral("Escolha o arquivo"));
    QCOMPARE(dialogos[0].filter, QStringLiteral("Arquivos exportados do NovaGIA (*.mdb)"));
    QCOMPARE(dialogos[0].defaultSuffix, QStringLiteral("mdb"));

    // The window says what it expects, and closes with its own button, giving the main window back.
    const QString orientacao = child<QLabel>(janela, "lblOrientacao")->text();
    QVERIFY(child<QLabel>(janela, "lblOrientacao")->isVisible());
    QVERIFY(orientacao.contains(QStringLiteral("NovaGIA")) && orientacao.contains(QStringLiteral(".mdb")));
    Principal* principal = Principal::instance();
    principal->show();
    principal->setInputEnabled(false);
    auto* fechar = child<QPushButton>(janela, "cmdFechar");
    QCOMPARE(fechar->text(), QStringLiteral("&Fechar"));
    QTest::mouseClick(fechar, Qt::LeftButton);
    QTRY_VERIFY(!ImportarEmpresas::existing());
    QTRY_VERIFY(principal->isEnabled());
}

void ImportarEmpresasTest::preview_data()
{
    QTest::addColumn<QString>("arquivo");
    QTest::addColumn<int>("linhas");
    QTest::addColumn<QList<int>>("vermelhas"); // 0-based rows
    QTest::addColumn<QString>("mensagem");     // the message instead of a preview
    QTest::addColumn<QString>("titulo");
    QTest::newRow("clean") << fixture("novagia-5.mdb") << 5 << QList<int>() << QString() << QString();
    QTest::newRow("wrong CNPJ and blank name")
        << fixture("novagia-erros.mdb") << 4 << QList<int>{2, 3} << QString() << QString();
    QTest::newRow("empty") << fixture("novagia-vazio.mdb") << 0 << QList<int>()
                           << QStringLiteral("Erro: Arquivo está vazio") << QString();
    const QString invalido =
        QStringLiteral("Erro: Arquivo inválido, você deve selecionar um arquivo conforme o manual indicar");
    QTest::newRow("no such table") << fixture("nwind.mdb") << 0 << QList<int>() << invalido << tituloMG;
    QTest::newRow("random bytes") << QStringLiteral("%ALEATORIO") << 0 << QList<int>() << invalido << tituloMG;
}

// Every case is a second "Carregar Dados" of the same path after a clean preview, the file having
// changed in between: a failed preview must not leave the earlier companies importable.
void ImportarEmpresasTest::preview()
{
    QFETCH(QString, arquivo);
    QFETCH(int, linhas);
    QFETCH(QList<int>, vermelhas);
    QFETCH(QString, mensagem);
    QFETCH(QString, titulo);
    QTemporaryDir dir;
    if (arquivo == u"%ALEATORIO") {
        arquivo = dir.filePath(QStringLiteral("aleatorio.mdb"));
        QFile f(arquivo);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray bytes(200000, '\0');
        for (qsizetype i = 0; i < bytes.size(); ++i)
            bytes[i] = char((i * 7919 + (i >> 5) * 104729) % 251);
        f.write(bytes);
    }
    const QString ligacao = dir.filePath(QStringLiteral("exportacao.mdb"));
    QVERIFY(QFile::link(fixture("novagia-5.mdb"), ligacao));
    ImportarEmpresas* janela = previa(ligacao);
    QVERIFY(child<QPushButton>(janela, "Command1")->isVisible());
    QVERIFY(QFile::remove(ligacao) && QFile::link(arquivo, ligacao));
    child<QPushButton>(janela, "Command3")->click();
    auto* grid = child<QTableWidget>(janela, "MSFlexGrid1");
    const bool comErro = !vermelhas.isEmpty();
    QCOMPARE(child<QPushButton>(janela, "Command1")->isVisible(), linhas > 0 && !comErro);
    QCOMPARE(child<QLabel>(janela, "Label1")->isVisible(), comErro);
    QCOMPARE(child<QLabel>(janela, "Label2")->isVisible(), comErro);
    const auto shown = messages();
    if (!mensagem.isEmpty()) {
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, mensagem);
        QCOMPARE(shown[0].title, titulo);
        QCOMPARE(shown[0].buttons, MessageBox::Buttons(QMessageBox::Ok));
        QVERIFY(!grid->isVisible());
        return;
    }
    QVERIFY(shown.isEmpty());
    QVERIFY(grid->isVisible());
    QCOMPARE(grid->rowCount(), linhas);
    QCOMPARE(grid->horizontalHeaderItem(3)->text(), QStringLiteral("Razão Social"));
    const LeituraNovaGia leitura = lerExportacaoNovaGia(arquivo);
    for (int r = 0; r < linhas; ++r) {
        const EmpresaNovaGia& e = leitura.empresas[r];
        QCOMPARE(grid->item(r, 0)->text(), e.ie);
        QCOMPARE(grid->item(r, 1)->text(), e.cnpj);
        QCOMPARE(grid->item(r, 2)->text(), e.cnae);
        QCOMPARE(grid->item(r, 3)->text(), e.razaoSocial + u' ');
        for (int c = 0; c < 4; ++c) {
            const bool vermelha = grid->item(r, c)->foreground().color() == QColor(255, 0, 0);
            QCOMPARE(vermelha, vermelhas.contains(r));
            const QString nome = grid->item(r, c)->data(Qt::AccessibleTextRole).toString();
            QCOMPARE(nome.contains(QStringLiteral("linha com erro")), vermelhas.contains(r));
        }
    }
    if (comErro) {
        QCOMPARE(grid->item(2, 1)->data(Qt::AccessibleTextRole).toString(),
                 QStringLiteral("CNPJ: 85.306.174/0001-31 (linha com erro: CNPJ inválido)"));
        QCOMPARE(child<QLabel>(janela, "Label1")->text(),
                 QStringLiteral("Atenção, a importação não será concluída, existe inconsistência nos cadastros."));
    }
}

void ImportarEmpresasTest::pathTypedByHandNeedsItsOwnPreview()
{
    ImportarEmpresas* janela = previa(fixture("novagia-5.mdb"));
    auto* texto = child<QLineEdit>(janela, "Text1");
    texto->setFocus();
    QTest::keyClick(texto, Qt::Key_Backspace);
    QVERIFY(!child<QPushButton>(janela, "Command1")->isVisible());
    QVERIFY(child<QPushButton>(janela, "Command3")->isVisible());
}

// Five companies that the real server knows, the second under Simples Nacional; then the same
// file again, which stores nothing new.
void ImportarEmpresasTest::importFromTheStandInServer()
{
    QJsonArray empresas;
    for (int i = 0; i < m_cinco.size(); ++i) {
        empresas.append(QJsonObject{{"ie", m_cinco[i].ie},
                                    {"cnpj", m_cinco[i].cnpj},
                                    {"cnae", m_cinco[i].cnae},
                                    {"simples", i == 1},
                                    {"chave", QStringLiteral("SEED000%1").arg(i)},
                                    {"razaoSocial", m_cinco[i].razaoSocial}});
    }
    QTemporaryDir dir;
    const QString seed = dir.filePath(QStringLiteral("seed.json"));
    QFile f(seed);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QJsonDocument(QJsonObject{{"anoTrabalho", "2025/2026"}, {"versao", "1.15.01"}, {"empresas", empresas}})
                .toJson());
    f.close();
    test::StandInServer servidor({QStringLiteral("--seed"), seed});
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), QString::number(servidor.port()));

    QPointer<ImportarEmpresas> janela = previa(fixture("novagia-5.mdb"));
    importa(janela);
    auto shown = messages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, concluida);
    QCOMPARE(shown[0].title, tituloMG);
    QCOMPARE(shown[0].icon, QMessageBox::Information);
    QTRY_VERIFY(!janela);
    const QList<ContribuinteRecord> guardadas = cadastro::listContribuintes();
    QCOMPARE(guardadas.size(), 5);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(guardadas[i].ie, m_cinco[i].ie);
        QCOMPARE(guardadas[i].razaoSocial, m_cinco[i].razaoSocial + u' ');
        QCOMPARE(guardadas[i].cnpj, m_cinco[i].cnpj);
        QCOMPARE(guardadas[i].cnae, m_cinco[i].cnae);
        QCOMPARE(guardadas[i].chave, QStringLiteral("SEED000%1").arg(i));
        QCOMPARE(guardadas[i].optanteSimples, i == 1);
        QVERIFY(guardadas[i].ccm.isEmpty());
    }
    QCOMPARE(guardadas[0].razaoSocial, QStringLiteral("Padaria D'Ouro Ltda "));
    QCOMPARE(guardadas[2].razaoSocial, QStringLiteral("Mercearia Boa Vista Ltda  "));
    QTRY_COMPARE(servidor.log().size(), 5);
    for (int i = 0; i < 5; ++i)
        QVERIFY(servidor.log()[i].contains(QStringLiteral("chave SEED000%1 da IE %2").arg(i).arg(m_cinco[i].ie)));

    janela = previa(fixture("novagia-5.mdb"));
    importa(janela);
    shown = messages();
    QCOMPARE(shown.size(), 6);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(shown[i].text, jaCadastrada(m_cinco[i]));
        QCOMPARE(shown[i].icon, QMessageBox::Critical);
        QCOMPARE(shown[i].title, tituloMG);
    }
    QCOMPARE(shown[5].text, concluida);
    QCOMPARE(cadastro::listContribuintes(), guardadas);
}

void ImportarEmpresasTest::outcomes_data()
{
    QTest::addColumn<QStringList>("respostas"); // one per request, in order (see resposta())
    QTest::addColumn<QList<int>>("guardadas");  // companies stored, by position in the file
    QTest::addColumn<QStringList>("mensagens"); // "nao n", "expirado", "ilegivel n", "comunicacao", "concluida"
    QTest::newRow("refusal goes on") << QStringList{"ok", "nao", "okS", "ok", "ok"} << QList<int>{0, 2, 3, 4}
                                     << QStringList{"nao 1", "concluida"};
    QTest::newRow("expired at the first accepted")
        << QStringList{"nao", "depois"} << QList<int>() << QStringList{"nao 0", "expirado"};
    QTest::newRow("expired after two stored")
        << QStringList{"ok", "ok", "depois"} << QList<int>{0, 1} << QStringList{"expirado"};
    QTest::newRow("not yet valid") << QStringList{"antes"} << QList<int>() << QStringList{"expirado"};
    QTest::newRow("unreadable answer stops")
        << QStringList{"ok", "ilegivel"} << QList<int>{0} << QStringList{"ilegivel 1"};
    QTest::newRow("failed exchange keeps what was stored")
        << QStringList{"ok", "ok", "corta"} << QList<int>{0, 1} << QStringList{"comunicacao"};
}

void ImportarEmpresasTest::outcomes()
{
    QFETCH(QStringList, respostas);
    QFETCH(QList<int>, guardadas);
    QFETCH(QStringList, mensagens);
    m_http->setOnRequest([this, respostas] {
        const int n = int(m_http->requests().size());
        m_http->setAnswer(n <= respostas.size() ? resposta(respostas[n - 1], n) : QByteArray());
    });
    QPointer<ImportarEmpresas> janela = previa(fixture("novagia-5.mdb"));
    importa(janela);
    QCOMPARE(m_http->requests().size(), respostas.size());
    for (int i = 0; i < respostas.size(); ++i)
        QVERIFY(m_http->requests()[i].body.contains("<ie>" + m_cinco[i].ie.toUtf8() + "</ie>"));
    const auto shown = messages();
    QStringList vistas;
    for (const MessageBox::Shown& m : shown) {
        for (int i = 0; i < 5; ++i) {
            if (m.text == naoAutorizada(m_cinco[i]) && m.icon == QMessageBox::Critical && m.title == tituloMG)
                vistas << QStringLiteral("nao %1").arg(i);
            if (m.text == mensagemRespostaIlegivel(m_cinco[i]))
                vistas << QStringLiteral("ilegivel %1").arg(i);
        }
        if (m.text == expirado && m.title == MessageBox::defaultTitle() && m.buttons == QMessageBox::Ok)
            vistas << QStringLiteral("expirado");
        if (m.text == mensagemComunicacao())
            vistas << QStringLiteral("comunicacao");
        if (m.text == concluida)
            vistas << QStringLiteral("concluida");
    }
    QCOMPARE(vistas, mensagens);
    QStringList esperadas;
    for (int i : guardadas)
        esperadas << m_cinco[i].ie;
    const QList<ContribuinteRecord> registros = cadastro::listContribuintes();
    QCOMPARE(ies(registros), esperadas);
    for (const ContribuinteRecord& r : registros)
        QCOMPARE(r.optanteSimples, r.ie == m_cinco[2].ie);
    if (mensagens.last() == u"concluida") {
        QTRY_VERIFY(!janela);
        return;
    }
    // A stopped import leaves the window open and ready for another try.
    QVERIFY(janela && janela->isVisible());
    QVERIFY(child<QPushButton>(janela, "Command1")->isEnabled());
    QVERIFY(!child<QLabel>(janela, "lblProgresso")->isVisible());
}

// While a company's exchange runs, the line and the bar say which one it is.
void ImportarEmpresasTest::progressLine()
{
    QStringList linhas;
    QList<int> valores;
    m_http->setOnRequest([&] {
        ImportarEmpresas* janela = ImportarEmpresas::existing();
        auto* linha = child<QLabel>(janela, "lblProgresso");
        auto* barra = child<QProgressBar>(janela, "barraProgresso");
        linhas << (linha->isVisible() ? linha->text() : QString());
        valores << (barra->isVisible() && barra->maximum() == 5 ? barra->value() : -1);
        QVERIFY(!child<QPushButton>(janela, "Command1")->isEnabled());
        m_http->setAnswer(resposta(QStringLiteral("ok"), int(m_http->requests().size())));
    });
    importa(previa(fixture("novagia-5.mdb")));
    QCOMPARE(linhas, (QStringList{QStringLiteral("Importando 1 de 5: Padaria D'Ouro Ltda"),
                                  QStringLiteral("Importando 2 de 5: Açougue São João ME"),
                                  QStringLiteral("Importando 3 de 5: Mercearia Boa Vista Ltda"),
                                  QStringLiteral("Importando 4 de 5: Supermercado Horizonte Ltda"),
                                  QStringLiteral("Importando 5 de 5: Drogaria Santa Luzia Ltda")}));
    QCOMPARE(valores, (QList<int>{0, 1, 2, 3, 4}));
    QCOMPARE(messages().size(), 1);
}

void ImportarEmpresasTest::cancelledChooserImportsNothing()
{
    ImportarEmpresas* janela = previa(fixture("novagia-5.mdb"));
    EscolhaCertificado::queueCancelamento();
    child<QPushButton>(janela, "Command1")->click();
    const auto oferecidos = EscolhaCertificado::takeOferecidos();
    QCOMPARE(oferecidos.size(), 1);
    QCOMPARE(oferecidos[0].titulo, QStringLiteral("Selecione o Certificado Digital (e-CNPJ)"));
    QCOMPARE(oferecidos[0].texto, QStringLiteral("Escolha o certificado e-CNPJ da empresa para receber a chave"));
    QVERIFY(messages().isEmpty());
    QVERIFY(m_http->requests().isEmpty());
    QVERIFY(janela->isVisible());
}

// A certificate whose CRL extension does not read: the addresses' message, then the import.
void ImportarEmpresasTest::crlReadingGoesOn()
{
    m_http->setOnRequest([this] { m_http->setAnswer(resposta(QStringLiteral("ok"), int(m_http->requests().size()))); });
    importa(previa(fixture("novagia-5.mdb")), 1);
    const auto shown = messages();
    QCOMPARE(shown.size(), 2);
    QVERIFY(shown[0].text.startsWith(QStringLiteral("Could not retrieve the URLs from the CDP extension: 0x")));
    QCOMPARE(shown[1].text, concluida);
    QCOMPARE(m_http->requests().size(), 5);
}

// The third company's insert fails: the report, no "Importação Concluída", the first two stay.
void ImportarEmpresasTest::databaseFailureStops()
{
    {
        Connection db;
        db.exec(QStringLiteral("create trigger falha before insert on tblContribuinte when new.IE = '%1' "
                               "begin select raise(abort, 'disco cheio'); end")
                    .arg(m_cinco[2].ie));
    }
    m_http->setOnRequest([this] { m_http->setAnswer(resposta(QStringLiteral("ok"), int(m_http->requests().size()))); });
    QPointer<ImportarEmpresas> janela = previa(fixture("novagia-5.mdb"));
    importa(janela);
    const auto shown = messages();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].text.startsWith(QStringLiteral("\r\nVB Error # ")), qPrintable(shown[0].text));
    QVERIFY(shown[0].text.contains(QStringLiteral("disco cheio")));
    QCOMPARE(m_http->requests().size(), 3);
    QCOMPARE(ies(cadastro::listContribuintes()), (QStringList{m_cinco[0].ie, m_cinco[1].ie}));
    QVERIFY(janela && janela->isVisible());
}

void ImportarEmpresasTest::missingRegisterStopsBeforeTheChooser()
{
    ImportarEmpresas* janela = previa(fixture("novagia-5.mdb"));
    m_dir->removeFile(QStringLiteral("dipam.db"));
    child<QPushButton>(janela, "Command1")->click();
    const auto shown = messages();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown[0].text.startsWith(QStringLiteral("\r\nVB Error # ")));
    QVERIFY(EscolhaCertificado::takeOferecidos().isEmpty());
    QVERIFY(m_http->requests().isEmpty());
    QVERIFY(!QFile::exists(m_dir->file(QStringLiteral("dipam.db"))));
}

// An export whose IE, CNPJ or CNAE hold "'" is stored as it is, and found again as a duplicate.
void ImportarEmpresasTest::valuesHoldingApostrophesAreBound()
{
    m_http->setAnswer(resposta(QStringLiteral("okS"), 1));
    const EmpresaNovaGia e{QStringLiteral("0623'07904"), QStringLiteral("O'Hara"), QStringLiteral("11.222.333/0001-8'"),
                           QStringLiteral("4721-1/0') or ('1'='1")};
    const certstore::Certificate certificado = certstore::list({}).certificates.value(0);
    QCOMPARE(importaEmpresa(e, certificado).situacao, ResultadoEmpresa::Situacao::Cadastrada);
    QCOMPARE(importaEmpresa(e, certificado).situacao, ResultadoEmpresa::Situacao::JaCadastrada);
    const QList<ContribuinteRecord> registros = cadastro::listContribuintes();
    QCOMPARE(registros.size(), 1);
    QCOMPARE(registros[0].ie, e.ie);
    QCOMPARE(registros[0].razaoSocial, QStringLiteral("O'Hara "));
    QCOMPARE(registros[0].cnpj, e.cnpj);
    QCOMPARE(registros[0].cnae, e.cnae);
    QCOMPARE(registros[0].chave, QStringLiteral("CHAVE001"));
    QVERIFY(registros[0].optanteSimples);
    QVERIFY(m_http->requests()[0].body.contains("<ie>0623'07904</ie><cnpj>11.222.333/0001-8'</cnpj>"));
}

QTEST_MAIN(ImportarEmpresasTest)
#include "ImportarEmpresasTest.moc"
