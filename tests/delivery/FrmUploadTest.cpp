// The VAF delivery window through its controls: the file choice, the conversion as the window shows
// it, the document list, the selection sent, against the real export tool and the HTTP double.
#include "delivery/frmUpload.h"
#include "app/Principal.h"
#include "delivery/EscolhaArquivo.h"
#include "net/HttpDouble.h"
#include "net/Soap.h"
#include "platform/CertStore.h"
#include "platform/EscolhaCertificado.h"
#include "platform/Pausa.h"
#include "platform/ProgramDir.h"
#include "storage/Cadastro.h"
#include "storage/Database.h"
#include "storage/Entregas.h"
#include "support/GuiTest.h"
#include "support/TestCertificates.h"
#include "support/TestProgramDir.h"
#include "VafTestData.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QTableWidget>
#include <QTcpServer>
#include <QTest>

#include <memory>

using namespace tervalia;
using test::child;
using test::TestCertificates;

namespace {
const QString ieDebito = QStringLiteral("7001234500028");
const QString chaveDebito = QStringLiteral("K7M2Q9TX");
const QString tituloMG = QStringLiteral("Tervalia - MG");
const QString semEmpresa = QStringLiteral("Erro: Arquivo não contém informações da empresa selecionada");
const QString fecheVaf =
    QStringLiteral("Por favor, se o programa VAF-MG estiver aberto queira por gentileza fechá-lo.");
const EmpresaEntrega mercearia{ieDebito, QStringLiteral("Empresa"), chaveDebito};

// The desktop setting under which one click both clicks and activates an item.
class CliqueUnico : public QProxyStyle
{
public:
    int styleHint(StyleHint dica, const QStyleOption* opcao, const QWidget* w, QStyleHintReturn* r) const override
    {
        if (dica == QStyle::SH_ItemView_ActivateItemOnSingleClick)
            return 1;
        return QProxyStyle::styleHint(dica, opcao, w, r);
    }
};

QStringList textos(const QList<MessageBox::Shown>& shown)
{
    QStringList t;
    for (const auto& s : shown)
        t << s.text;
    return t;
}

QStringList coluna(QTableWidget* grade, int c)
{
    QStringList t;
    for (int l = 0; l < grade->rowCount(); ++l)
        t << grade->item(l, c)->text();
    return t;
}

// With TERVALIA_CAPTURAS naming a folder, the window is saved there as a picture (to look at it).
void capturaJanela(QWidget* janela, bool quando, const char* nome)
{
    const QString pasta = qEnvironmentVariable("TERVALIA_CAPTURAS");
    if (quando && !pasta.isEmpty())
        janela->grab().save(QDir(pasta).filePath(QStringLiteral("frmUpload-%1.png").arg(QLatin1String(nome))));
}

QString portaFechada()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost);
    const QString porta = QString::number(s.serverPort());
    s.close();
    return porta;
}
} // namespace

class FrmUploadTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void janelaAoAbrir();
    void extensao_data();
    void extensao();
    void progressoNaJanela();
    void segundoArquivoEsvaziaGrade();
    void empresaAusente();
    void arquivoAntigo();
    void selecaoParaCimaBytesEnviados();
    void segundoEnvioNaoRepete();
    void servidorHostil_data();
    void servidorHostil();
    void anoRecusadoUmaVez();
    void selPRF();

private:
    frmUpload* clicaArquivo(const QString& nome, frmUpload* janela = nullptr,
                            const EmpresaEntrega& empresa = mercearia);
    void selecionaLinhas(frmUpload* janela, int de, int ate);
    void enviaPelaJanela(frmUpload* janela);

    std::unique_ptr<TestCertificates> m_certs;
    QTemporaryDir m_home;
    QTemporaryDir m_usuario;
    QStringList m_titulares;
    QByteArray m_homeSalvo;
    std::unique_ptr<test::TestProgramDir> m_dir;
};

void FrmUploadTest::initTestCase()
{
    m_homeSalvo = qgetenv("HOME");
    certstore::setP11KitProxyPathForTests({});
    m_certs = std::make_unique<TestCertificates>();
    m_titulares = m_certs->installStore(m_home.path(), TestCertificates::standardSet());
    const QDir u(m_usuario.path());
    QCOMPARE(test::geraVafGdb(u.filePath(QStringLiteral("VAF.GDB"))), QString());
    QVERIFY(QFile::copy(u.filePath(QStringLiteral("VAF.GDB")), u.filePath(QStringLiteral("vaf.gdb"))));
    QCOMPARE(test::geraVafGdb(u.filePath(QStringLiteral("ANTIGO.GDB")), {QStringLiteral("--ods11")}), QString());
    QVERIFY(QFile::copy(u.filePath(QStringLiteral("VAF.GDB")), u.filePath(QStringLiteral("VAF.FDB"))));
    QVERIFY(QFile::copy(u.filePath(QStringLiteral("VAF.GDB")), u.filePath(QStringLiteral("copiaGdb"))));
    setPausaParaTestes([](int) {});
    JanelaEntrega::setAjusteParaTestes([](OpcoesUpload& o) {
        o.limiteConexaoMs = 2000;
        o.limiteSilencioMs = 1500;
    });
}

void FrmUploadTest::cleanupTestCase()
{
    setPausaParaTestes({});
    JanelaEntrega::setAjusteParaTestes({});
    qputenv("HOME", m_homeSalvo);
}

void FrmUploadTest::init()
{
    qputenv("HOME", QFile::encodeName(m_home.path()));
    EscolhaArquivo::esqueceUltimaPasta();
    test::startGuiTest();
    m_dir = std::make_unique<test::TestProgramDir>();
    m_dir->installFromDist(QStringLiteral("vaf_limpo.db"));
    m_dir->installFromDist(QStringLiteral("vaf_limpo.mdb"));
    m_dir->installFromDist(QStringLiteral("gia_limpa.db"));
    m_dir->installFromDist(QStringLiteral("fbexport"));
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), portaFechada());
    cadastro::replaceContador(
        {QStringLiteral("123.456.789-09"), {}, QStringLiteral("José"), {}, {}, {}, {}, {}, {}, {}, {}, {}});
    Principal* p = Principal::instance();
    p->show();
    p->selecionaContribuinte(ieDebito, QStringLiteral("Empresa"), chaveDebito);
    p->thisCont_cpf_cnpj = QStringLiteral("123.456.789-09");
    p->anoTrabalho = QStringLiteral("2024/2025");
}

void FrmUploadTest::cleanup()
{
    setSoapTimeoutForTests(0);
    setSoapDeadlineForTests(0);
    test::finishGuiTest();
    EscolhaCertificado::reset();
    m_dir.reset();
}

// Clicks the file in the window's file list, as the user does; the conversion runs within.
frmUpload* FrmUploadTest::clicaArquivo(const QString& nome, frmUpload* janela, const EmpresaEntrega& empresa)
{
    if (!janela) {
        janela = frmUpload::abrir(empresa);
        janela->findChild<EscolhaArquivo*>()->setPasta(m_usuario.path());
    }
    auto* lista = child<QListWidget>(janela, "file");
    const auto itens = lista->findItems(nome, Qt::MatchExactly);
    if (itens.size() != 1)
        qFatal("%s not listed", qPrintable(nome));
    lista->scrollToItem(itens[0]);
    QTest::mouseClick(lista->viewport(), Qt::LeftButton, {}, lista->visualItemRect(itens[0]).center());
    return janela;
}

// A click on row de, then a shift-click on row ate (0-based).
void FrmUploadTest::selecionaLinhas(frmUpload* janela, int de, int ate)
{
    auto* grade = child<QTableWidget>(janela, "GridRefencias");
    auto clica = [grade](int linha, Qt::KeyboardModifiers mod) {
        grade->scrollToItem(grade->item(linha, 0));
        QTest::mouseClick(grade->viewport(), Qt::LeftButton, mod,
                          grade->visualItemRect(grade->item(linha, 0)).center());
    };
    clica(de, {});
    clica(ate, Qt::ShiftModifier);
}

void FrmUploadTest::enviaPelaJanela(frmUpload* janela)
{
    EscolhaCertificado::queueEscolha(m_titulares[1]);
    child<QPushButton>(janela, "cmdUpload")->click();
}

void FrmUploadTest::janelaAoAbrir()
{
    frmUpload* janela = frmUpload::abrir(mercearia);
    QCOMPARE(child<QLabel>(janela, "lblEmpresa")->text(), QStringLiteral("Contribuinte: Empresa - IE 7001234500028"));
    QCOMPARE(janela->windowTitle(),
             QStringLiteral("Selecione o arquivo GDB para Entrega  - Prefeitura Municipal de Ostare"));
    QCOMPARE(child<QLabel>(janela, "Label1")->text(), QStringLiteral("Transmissão de Declaração - Tervalia"));
    QCOMPARE(child<QLabel>(janela, "Label2")->text(),
             QStringLiteral("Selecione o arquivo que deseja enviar. Para contribuintes inscritos no Regime Débito e "
                            "Crédito o arquivo a ser enviado é com extensão .GDB"));
    QCOMPARE(child<QGroupBox>(janela, "Frame1")->title(), QStringLiteral("Selecione as referências a enviar"));
    auto* preparacao = child<QGroupBox>(janela, "Preparacao");
    QCOMPARE(preparacao->title(), QStringLiteral("Processando"));
    QVERIFY(!preparacao->isVisible());
    QCOMPARE(child<QLabel>(janela, "Label4")->text(), QStringLiteral("Aguarde a preparação do arquivo."));
    QVERIFY(child<QLabel>(janela, "ocorrencia"));
    QVERIFY(child<QProgressBar>(janela, "Progresso"));
    QVERIFY(child<QComboBox>(janela, "Drive1"));
    QVERIFY(child<QListWidget>(janela, "dir"));
    auto* enviar = child<QPushButton>(janela, "cmdUpload");
    QCOMPARE(enviar->text(), QStringLiteral("&Enviar"));
    QVERIFY(!enviar->isEnabled());
    QCOMPARE(child<QPushButton>(janela, "Command2")->text(), QStringLiteral("&Cancelar"));
    QCOMPARE(child<QPushButton>(janela, "Command1")->text(), QStringLiteral("Selecionar GIAs"));
    QCOMPARE(child<QPushButton>(janela, "selPRF")->text(), QStringLiteral("selecionar prf"));
    QVERIFY(child<QPushButton>(janela, "Command1")->isHidden());
    QVERIFY(child<QPushButton>(janela, "selPRF")->isHidden());
    QCOMPARE(child<QLineEdit>(janela, "txtName")->text(), QStringLiteral("objArquivo"));

    auto* grade = child<QTableWidget>(janela, "GridRefencias");
    QCOMPARE(grade->columnCount(), 4);
    const QStringList cabecalhos{"ID", "Referência", "Regime tributário", "Tipo"};
    const int larguras[] = {500, 1000, 1600};
    for (int c = 0; c < 4; ++c)
        QCOMPARE(grade->horizontalHeaderItem(c)->text(), cabecalhos[c]);
    for (int c = 0; c < 3; ++c)
        QVERIFY(grade->columnWidth(c) >= larguras[c] * grade->logicalDpiX() / 1440);
    QVERIFY(grade->horizontalHeaderItem(2)->textAlignment() & Qt::AlignHCenter);
    QCOMPARE(janela->cpfCnpjContador(), TestCertificates::accountantCpf);
}

void FrmUploadTest::extensao_data()
{
    QTest::addColumn<QString>("arquivo");
    QTest::addColumn<bool>("aceito");
    QTest::newRow("lower-case vaf.gdb") << "vaf.gdb" << true;
    QTest::newRow("VAF.GDB") << "VAF.GDB" << true;
    QTest::newRow("no dot") << "copiaGdb" << true;
    QTest::newRow("VAF.FDB") << "VAF.FDB" << false;
}

// Only the files the window accepts are listed; one chosen some other way is refused all the same.
void FrmUploadTest::extensao()
{
    QFETCH(QString, arquivo);
    QFETCH(bool, aceito);
    frmUpload* janela = frmUpload::abrir(mercearia);
    auto* escolha = janela->findChild<EscolhaArquivo*>();
    escolha->setPasta(m_usuario.path());
    QCOMPARE(escolha->arquivos().contains(arquivo), aceito);
    if (aceito)
        clicaArquivo(arquivo, janela);
    else
        emit escolha->arquivoEscolhido(m_usuario.path(), arquivo);
    const QList<MessageBox::Shown> shown = test::takeMessages();
    QCOMPARE(child<QLineEdit>(janela, "txtUploadFile")->text(), QDir(m_usuario.path()).filePath(arquivo));
    QVERIFY(!child<QGroupBox>(janela, "Preparacao")->isVisible());
    auto* grade = child<QTableWidget>(janela, "GridRefencias");
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].title, tituloMG);
    if (aceito) {
        QCOMPARE(shown[0].text, fecheVaf);
        QCOMPARE(shown[0].icon, QMessageBox::Warning);
        QCOMPARE(coluna(grade, 0), (QStringList{"101", "311", "312", "400", "401"}));
        QCOMPARE(coluna(grade, 1).first(), QStringLiteral("1 a 12 / 2023"));
        QCOMPARE(coluna(grade, 2), QStringList(5, QStringLiteral("Débito e Crédito")));
        // SUBSTITUICAO "S", "1", and a value that repeats the row before.
        QCOMPARE(coluna(grade, 3), (QStringList{"Normal", "Normal", "Substitutiva", "Substitutiva", "Substitutiva"}));
        QCOMPARE(grade->item(0, 1)->data(Qt::AccessibleTextRole).toString(),
                 QStringLiteral("Referência: 1 a 12 / 2023"));
        // 2023 is outside the working year: greyed, explained, never selected.
        for (int c = 0; c < 4; ++c) {
            QVERIFY(!(grade->item(0, c)->flags() & (Qt::ItemIsSelectable | Qt::ItemIsEnabled)));
            QCOMPARE(grade->item(0, c)->toolTip(), QStringLiteral("fora do ano de trabalho"));
        }
        QVERIFY(grade->item(1, 0)->flags() & Qt::ItemIsSelectable);
        QCOMPARE(grade->currentRow(), 1);
        QTest::mouseClick(grade->viewport(), Qt::LeftButton, {}, grade->visualItemRect(grade->item(0, 0)).center());
        QCOMPARE(grade->selectedRanges().size(), 1);
        QCOMPARE(grade->selectedRanges().first().topRow(), 1);
        QVERIFY(child<QPushButton>(janela, "cmdUpload")->isEnabled());
        QCOMPARE(Principal::instance()->pathMDB(), QDir(m_usuario.path()).filePath(arquivo));
        QVERIFY(Principal::instance()->isEnabled());
    } else {
        QCOMPARE(shown[0].text, QStringLiteral("Arquivo inválido.\r\n\r\nO arquivos que esperamos deve ser VAF.GDB"));
        QCOMPARE(shown[0].icon, QMessageBox::Critical);
        QCOMPARE(grade->rowCount(), 0);
        QVERIFY(!child<QPushButton>(janela, "cmdUpload")->isEnabled());
        QVERIFY(!QFile::exists(programFile(QStringLiteral("vaf.db"))));
    }
}

// What the window shows while converting, and that nothing can be chosen or sent meanwhile. Under a
// desktop that opens items with a single click, the click still converts once.
void FrmUploadTest::progressoNaJanela()
{
    frmUpload* janela = frmUpload::abrir(mercearia);
    janela->findChild<EscolhaArquivo*>()->setPasta(m_usuario.path());
    CliqueUnico cliqueUnico;
    child<QListWidget>(janela, "file")->setStyle(&cliqueUnico);
    auto* barra = child<QProgressBar>(janela, "Progresso");
    QList<int> valores;
    QStringList passos;
    int ativos = 0;
    connect(barra, &QProgressBar::valueChanged, this, [&](int v) {
        valores << v;
        passos << child<QLabel>(janela, "ocorrencia")->text();
        ativos +=
            child<QListWidget>(janela, "file")->isEnabled() + child<QPushButton>(janela, "cmdUpload")->isEnabled() +
            child<QPushButton>(janela, "Command2")->isEnabled() + !child<QGroupBox>(janela, "Preparacao")->isVisible();
        QVERIFY(janela->convertendo());
        capturaJanela(janela, v == 53 && passos.last().startsWith(QLatin1String("Passo 2")), "durante");
    });
    clicaArquivo(QStringLiteral("VAF.GDB"), janela);
    QList<int> esperados;
    for (int v = 4; v <= 100; v += 4)
        esperados << v;
    for (int passo = 2; passo <= 3; ++passo) {
        for (int v = 1; v < 100; v += 4)
            esperados << v;
        esperados << 100;
    }
    QCOMPARE(valores, esperados);
    // The bar advances once a table is done: 100 after the 25th, and stays there for the 26th.
    QCOMPARE(passos.at(24), QStringLiteral("Passo 1: Preparando UF"));
    QCOMPARE(passos.at(25), QStringLiteral("Passo 2: Carregando CNAEF"));
    QCOMPARE(passos.at(51), QStringLiteral("Passo 3: Gravando CNAEF"));
    QCOMPARE(passos.last(), QStringLiteral("Passo 3: Gravando UF"));
    QCOMPARE(child<QLabel>(janela, "ocorrencia")->text(), QStringLiteral("Passo 3: Gravando VAF"));
    QCOMPARE(ativos, 0);
    QCOMPARE(textos(test::takeMessages()), QStringList{fecheVaf});
    capturaJanela(janela, true, "depois");
    QVERIFY(!janela->convertendo());
    QVERIFY(child<QListWidget>(janela, "file")->isEnabled());
    QVERIFY(child<QPushButton>(janela, "Command2")->isEnabled());
    child<QListWidget>(janela, "file")->setStyle(nullptr);
}

// Once another file is clicked, the first file's documents are no longer offered. The list is the
// window's company's, whatever the main window selects meanwhile; opened for another company, the
// window drops the list of the one before.
void FrmUploadTest::segundoArquivoEsvaziaGrade()
{
    frmUpload* janela = clicaArquivo(QStringLiteral("VAF.GDB"));
    auto* grade = child<QTableWidget>(janela, "GridRefencias");
    QCOMPARE(grade->rowCount(), 5);
    test::takeMessages();
    Principal::instance()->selecionaContribuinte(QStringLiteral("7019876540034"), QStringLiteral("Outra"),
                                                 QStringLiteral("B8N3R5TC"));
    clicaArquivo(QStringLiteral("vaf.gdb"), janela);
    QCOMPARE(coluna(grade, 0), (QStringList{"101", "311", "312", "400", "401"}));
    QCOMPARE(test::takeMessages().size(), 1);
    QCOMPARE(frmUpload::abrir({QStringLiteral("7019876540034"), QStringLiteral("Outra"), QStringLiteral("B8N3R5TC")}),
             janela);
    QCOMPARE(grade->rowCount(), 0);
    QVERIFY(child<QLineEdit>(janela, "txtUploadFile")->text().isEmpty());
    clicaArquivo(QStringLiteral("vaf.gdb"), janela);
    QCOMPARE(coluna(grade, 0), (QStringList{"501", "502"}));
    test::takeMessages();
    emit janela->findChild<EscolhaArquivo*>()->arquivoEscolhido(m_usuario.path(), QStringLiteral("VAF.FDB"));
    QCOMPARE(test::takeMessages().size(), 1);
    QCOMPARE(grade->rowCount(), 0);
    QVERIFY(!child<QPushButton>(janela, "cmdUpload")->isEnabled());
}

void FrmUploadTest::empresaAusente()
{
    frmUpload* janela =
        clicaArquivo(QStringLiteral("VAF.GDB"), nullptr,
                     {QStringLiteral("7025551230008"), QStringLiteral("Simples"), QStringLiteral("R2D5L6YB")});
    const QList<MessageBox::Shown> shown = test::takeMessages();
    QCOMPARE(textos(shown), (QStringList{fecheVaf, semEmpresa}));
    QCOMPARE(shown[1].title, tituloMG);
    QCOMPARE(child<QTableWidget>(janela, "GridRefencias")->rowCount(), 0);
    QVERIFY(!child<QPushButton>(janela, "cmdUpload")->isEnabled());
}

// An older Firebird file: the tool's failure told in Portuguese, never "no company", and the
// window is still usable.
void FrmUploadTest::arquivoAntigo()
{
    frmUpload* janela = clicaArquivo(QStringLiteral("ANTIGO.GDB"));
    const QList<MessageBox::Shown> shown = test::takeMessages();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[1].icon, QMessageBox::Critical);
    QVERIFY2(shown[1].text.contains(QStringLiteral("versão")) || shown[1].text.contains(QStringLiteral("antig")),
             qPrintable(shown[1].text));
    QVERIFY(!shown[1].text.contains(semEmpresa));
    QVERIFY2(shown[1].text.contains(QDir(m_usuario.path()).filePath(QStringLiteral("ANTIGO.GDB"))),
             qPrintable(shown[1].text));
    QVERIFY(!child<QPushButton>(janela, "cmdUpload")->isEnabled());
    QVERIFY(child<QListWidget>(janela, "file")->isEnabled());
    QVERIFY(!child<QGroupBox>(janela, "Preparacao")->isVisible());
    clicaArquivo(QStringLiteral("VAF.GDB"), janela);
    QCOMPARE(textos(test::takeMessages()), QStringList{fecheVaf});
    QCOMPARE(child<QTableWidget>(janela, "GridRefencias")->rowCount(), 5);
}

// Rows 5 to 3 selected upwards go out as 3, 4, 5; the bytes posted are vaf.mdb under the GDB's name,
// with the key of the window's company whatever the main window selected meanwhile; the numbers sent
// are told after the answer.
void FrmUploadTest::selecaoParaCimaBytesEnviados()
{
    test::HttpDouble http(true);
    http.setAnswer(test::HttpDouble::answer("ENTREGA RECEBIDA - PROTOCOLO 2026000007", "text/html"));
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), http.port());
    QPointer<frmUpload> janela = clicaArquivo(QStringLiteral("vaf.gdb"));
    test::takeMessages();
    selecionaLinhas(janela, 4, 2);
    const QByteArray vaf = test::fileContent(programFile(QStringLiteral("vaf.mdb")));
    QVERIFY(vaf.startsWith(QByteArray("\0\x01\0\0Standard Jet DB\0", 20)));
    Principal::instance()->selecionaContribuinte(QStringLiteral("7019876540034"), QStringLiteral("Outra"),
                                                 QStringLiteral("B8N3R5TC"));
    enviaPelaJanela(janela);
    QTRY_VERIFY(!janela);
    // The refresh asked the double too and could not read its answer; it said so itself.
    QCOMPARE(textos(test::takeMessages()),
             QStringList{QStringLiteral("O Servidor está indisponivel, tente novamente mais tarde.")});
    QVERIFY(http.requests().size() >= 1);
    const auto& r = http.requests().first();
    QCOMPARE(r.target, QByteArray("/client/xt_upload.php?contador=123.456.789-09&chave=K7M2Q9TX&gias=312,400,401"));
    QVERIFY(r.body.contains("Content-Disposition: form-data; name=\"objArquivo\"; filename=\"vaf.gdb\"\r\n"
                            "Content-Type: application/octet-stream\r\n\r\n" +
                            vaf + "\r\n--"));
    QCOMPARE(child<QLabel>(Principal::instance(), "lblResultadoEntrega")->text(),
             QStringLiteral("Entrega de Empresa (IE 7001234500028) recebida pelo servidor: protocolo 2026000007. "
                            "GIAs enviadas: 312, 400, 401. Resposta do servidor: ENTREGA RECEBIDA - PROTOCOLO "
                            "2026000007"));
}

// After a socket error the user presses again: the same numbers go out once.
void FrmUploadTest::segundoEnvioNaoRepete()
{
    QPointer<frmUpload> janela = clicaArquivo(QStringLiteral("VAF.GDB"));
    selecionaLinhas(janela, 1, 2);
    test::takeMessages();
    enviaPelaJanela(janela);
    QList<MessageBox::Shown> vistas;
    QTRY_VERIFY((vistas += test::takeMessages(), !vistas.isEmpty()));
    QCOMPARE(vistas.last().title, QStringLiteral("ERROR"));
    QVERIFY(janela);
    QVERIFY(child<QLineEdit>(janela, "txtUrl")->text().endsWith(QLatin1String("&gias=311,312")));

    test::HttpDouble http(true);
    http.setAnswer(test::HttpDouble::answer("ENTREGA RECEBIDA", "text/html"));
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), http.port());
    enviaPelaJanela(janela);
    QTRY_VERIFY(!janela);
    test::takeMessages();
    QCOMPARE(http.requests().first().target,
             QByteArray("/client/xt_upload.php?contador=123.456.789-09&chave=K7M2Q9TX&gias=311,312"));
}

void FrmUploadTest::servidorHostil_data()
{
    QTest::addColumn<QString>("servidor"); // HttpDouble::playHostile, or "500": an error page
    QTest::addColumn<QString>("motivo");   // empty: the first data came back and were taken as the answer
    QTest::newRow("fora do ar") << "dead"
                                << "O servidor recusou a conexão.";
    QTest::newRow("mudo") << "silent"
                          << "O servidor não respondeu dentro do tempo limite.";
    QTest::newRow("reinicia") << "reset"
                              << "O servidor encerrou a conexão antes de responder; a entrega não foi confirmada.";
    QTest::newRow("pagina de erro") << "500"
                                    << "";
    QTest::newRow("nao HTTP") << "garbage"
                              << "";
    QTest::newRow("gotejando") << "dripping"
                               << "";
}

// A failed connection keeps the window, the file and the selection for another try; an answer of
// any shape ends the delivery as not accepted and is kept. vaf.mdb, the file sent, is never touched.
void FrmUploadTest::servidorHostil()
{
    QFETCH(QString, servidor);
    QFETCH(QString, motivo);
    test::HttpDouble http(true);
    if (!http.playHostile(servidor))
        http.setAnswer(test::HttpDouble::answer("<html>erro</html>", "text/html", "500 Internal Server Error"));
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), http.port());
    setSoapTimeoutForTests(1000); // the refresh after an answer asks the same server
    setSoapDeadlineForTests(2000);
    QPointer<frmUpload> janela = clicaArquivo(QStringLiteral("VAF.GDB"));
    selecionaLinhas(janela, 1, 2);
    test::takeMessages();
    const QByteArray vaf = test::fileContent(programFile(QStringLiteral("vaf.mdb")));
    enviaPelaJanela(janela);
    if (motivo.isEmpty()) {
        QTRY_VERIFY_WITH_TIMEOUT(!janela, 10000);
        test::takeMessages(); // the refresh's own
        QCOMPARE(listaEntregas().size(), 1);
        QVERIFY2(child<QLabel>(Principal::instance(), "lblResultadoEntrega")
                     ->text()
                     .startsWith(QStringLiteral("Entrega de Empresa (IE 7001234500028) não aceita pelo servidor. "
                                                "GIAs enviadas: 311, 312. Resposta do servidor: ")),
                 qPrintable(child<QLabel>(Principal::instance(), "lblResultadoEntrega")->text()));
    } else {
        QList<MessageBox::Shown> vistas;
        QTRY_VERIFY_WITH_TIMEOUT((vistas += test::takeMessages(), !vistas.isEmpty()), 10000);
        QCOMPARE(textos(vistas), QStringList{QStringLiteral("A entrega de Empresa (IE 7001234500028) não foi "
                                                            "concluída.\r\n%1\r\nO arquivo escolhido foi mantido "
                                                            "para uma nova tentativa.")
                                                 .arg(motivo)});
        QVERIFY(janela && janela->isVisible());
        QVERIFY(child<QPushButton>(janela, "cmdUpload")->isEnabled());
        QCOMPARE(child<QTableWidget>(janela, "GridRefencias")->selectedRanges().size(), 1);
        QVERIFY(listaEntregas().isEmpty());
    }
    QVERIFY(Principal::instance()->isEnabled());
    QCOMPARE(test::fileContent(programFile(QStringLiteral("vaf.mdb"))), vaf);
}

// 2023 is not a working year: the message once per window, in its "downwards" form, and nothing
// sent when no selected document is accepted.
void FrmUploadTest::anoRecusadoUmaVez()
{
    frmUpload* janela = clicaArquivo(QStringLiteral("VAF.GDB"));
    test::takeMessages();
    Principal::instance()->anoTrabalho = QStringLiteral("2023");
    selecionaLinhas(janela, 1, 2);
    child<QPushButton>(janela, "cmdUpload")->click();
    const QList<MessageBox::Shown> shown = test::takeMessages();
    QCOMPARE(textos(shown), QStringList{QStringLiteral("Você deverá consultar a administração para saber quais "
                                                       "documentos poderão ser aceitos. 2023")});
    QCOMPARE(shown[0].title, MessageBox::defaultTitle());
    child<QPushButton>(janela, "cmdUpload")->click();
    QCOMPARE(test::takeMessages().size(), 0);
    // No certificate was asked for and nothing was sent.
    QCOMPARE(janela->upload()->estado(), Upload::Estado::Ocioso);
    QVERIFY(child<QPlainTextEdit>(janela, "txtRequest")->toPlainText().isEmpty());
}

// The hidden button reads a GIA file into a fresh atual.db, names it as the chosen file and lists.
void FrmUploadTest::selPRF()
{
    frmUpload* janela = clicaArquivo(QStringLiteral("VAF.GDB"));
    test::takeMessages();
    QByteArray gia(165, '0');
    gia.replace(0, 2, "05");
    gia.replace(2, 12, "062000000001");
    const QString arquivo = QDir(m_usuario.path()).filePath(QStringLiteral("gia.prf"));
    {
        QFile f(arquivo);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(gia + "\r\n");
    }
    child<QLineEdit>(janela, "txtUploadFile")->setText(arquivo);
    child<QPushButton>(janela, "selPRF")->click();
    QCOMPARE(test::takeMessages().size(), 0);
    const QString atual = programFile(QStringLiteral("atual.db"));
    QCOMPARE(child<QLineEdit>(janela, "txtUploadFile")->text(), QDir::toNativeSeparators(atual));
    QCOMPARE(Principal::instance()->pathMDB(), QDir::toNativeSeparators(atual));
    {
        Connection c(atual);
        QSqlQuery q = c.exec(QStringLiteral("select count(*) from tblGIA"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 1);
    }
    // The list is made again (from vaf.db, which is what is sent).
    QCOMPARE(child<QTableWidget>(janela, "GridRefencias")->rowCount(), 5);

    child<QLineEdit>(janela, "txtUploadFile")->setText(QDir(m_usuario.path()).filePath(QStringLiteral("nenhum.prf")));
    child<QPushButton>(janela, "selPRF")->click();
    const QList<MessageBox::Shown> shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QVERIFY(!shown[0].text.isEmpty());
}

QTEST_MAIN(FrmUploadTest)
#include "FrmUploadTest.moc"
