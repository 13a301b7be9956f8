// The Simples Nacional window against the HTTP double (the bytes as sent, the markers, hostile
// servers) and against the real stand-in server through the main window's delivery button.
#include "app/Principal.h"
#include "delivery/EscolhaArquivo.h"
#include "delivery/frmUpload.h"
#include "delivery/frmUploadSimples.h"
#include "delivery/PainelUpload.h"
#include "net/HttpDouble.h"
#include "net/Soap.h"
#include "platform/CertStore.h"
#include "platform/EscolhaCertificado.h"
#include "platform/Pausa.h"
#include "storage/Cadastro.h"
#include "storage/Entregas.h"
#include "support/GuiTest.h"
#include "support/StandInServer.h"
#include "support/TestCertificates.h"
#include "support/TestProgramDir.h"
#include "text/Windows1252.h"

#include <QAction>
#include <QComboBox>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTcpServer>
#include <QTest>

#include <memory>

using namespace tervalia;
using test::child;
using test::TestCertificates;

namespace {
const QString semente = QStringLiteral(TERVALIA_SOURCE_DIR "/tools/server/demo-seed.json");
const QString ieSimples = QStringLiteral("7025551230008");
const QString chaveSimples = QStringLiteral("R2D5L6YB");
const QString ieDebito = QStringLiteral("7001234500028");
const QString pdf = QStringLiteral("%PDF-1.4\n1 0 obj << >> endobj\n%%EOF\n");
const QString avisoCertificado =
    QStringLiteral("O Certificado que será solicitado durante a transmissão é do contador responsável");
const QString tituloSimples =
    QStringLiteral("Selecione o arquivo PDF - Declaração - SIMPLES NACIONAL - Prefeitura Municipal de Ostare");
const QString tituloVaf = QStringLiteral("Selecione o arquivo GDB para Entrega  - Prefeitura Municipal de Ostare");
const EmpresaEntrega restaurante{ieSimples, QStringLiteral("Restaurante Sabor de Minas ME"), chaveSimples};

// The shared window behaviour as the VAF window will have it: the error shown, the window kept.
class JanelaTeste : public JanelaEntrega
{
public:
    JanelaTeste() : JanelaEntrega(OpcoesUpload::vaf())
    {
        auto* p = new PainelUpload(this);
        ligaPainel(p, new QLabel(this));
    }
    void envia(const QString& endereco) { enviar(endereco, QStringLiteral("VAF.MDB")); }
};

QString mensagem(int marca)
{
    return OpcoesUpload::simplesNacional().marcasRecusa.at(marca).mensagem;
}

QStringList textos(const QList<MessageBox::Shown>& shown)
{
    QStringList t;
    for (const auto& s : shown)
        t << s.text;
    return t;
}
} // namespace

class UploadSimplesTest : public QObject
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
    void bytesComoEnviados();
    void marcas_data();
    void marcas();
    void servidorHostil_data();
    void servidorHostil();
    void servidorMentiroso_data();
    void servidorMentiroso();
    void entregaNoServidor_data();
    void entregaNoServidor();
    void despachoSemContador();
    void despachoPorRegime_data();
    void despachoPorRegime();
    void despachoEmpresaExcluida();
    void escolhaLembraPasta();
    void janelaDaEmpresa();
    void cancelarDuranteEnvio();
    void envioRecusado_data();
    void envioRecusado();
    void erroMostradoJanelaFica();
    void falhaDaAtualizacaoECopia();

private:
    frmUploadSimples* abreJanela(const QString& arquivo, const QByteArray& conteudo);
    void escolhe(QWidget* janela, const QString& arquivo);
    void enviaPelaJanela(frmUploadSimples* janela);
    void selecionaNoPrincipal(const QString& ie, const QString& chave);
    frmUploadSimples* despachaRestaurante();

    std::unique_ptr<TestCertificates> m_certs;
    QTemporaryDir m_home;
    QStringList m_titulares;
    QByteArray m_homeSalvo;
    QList<int> m_pausas;
    std::unique_ptr<test::TestProgramDir> m_dir;
    std::unique_ptr<test::StandInServer> m_servidor;
};

void UploadSimplesTest::initTestCase()
{
    m_homeSalvo = qgetenv("HOME");
    certstore::setP11KitProxyPathForTests({});
    m_certs = std::make_unique<TestCertificates>();
    m_titulares = m_certs->installStore(m_home.path(), TestCertificates::standardSet());
    m_servidor = std::make_unique<test::StandInServer>(QStringList{QStringLiteral("--seed"), semente});
    setPausaParaTestes([this](int ms) { m_pausas << ms; });
    JanelaEntrega::setAjusteParaTestes([](OpcoesUpload& o) {
        o.limiteConexaoMs = 2000;
        o.limiteSilencioMs = 1500;
    });
}

void UploadSimplesTest::cleanupTestCase()
{
    setPausaParaTestes({});
    JanelaEntrega::setAjusteParaTestes({});
    qputenv("HOME", m_homeSalvo);
}

void UploadSimplesTest::init()
{
    qputenv("HOME", QFile::encodeName(m_home.path()));
    EscolhaArquivo::esqueceUltimaPasta();
    test::startGuiTest();
    m_dir = std::make_unique<test::TestProgramDir>();
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), QString::number(m_servidor->port()));
    cadastro::replaceContador(
        {QStringLiteral("123.456.789-09"), {}, QStringLiteral("José"), {}, {}, {}, {}, {}, {}, {}, {}, {}});
    m_pausas.clear();
}

void UploadSimplesTest::cleanup()
{
    setSoapTimeoutForTests(0);
    setSoapDeadlineForTests(0);
    test::finishGuiTest();
    EscolhaCertificado::reset();
    m_dir.reset();
}

frmUploadSimples* UploadSimplesTest::abreJanela(const QString& arquivo, const QByteArray& conteudo)
{
    m_dir->writeFile(arquivo, conteudo);
    frmUploadSimples* janela = frmUploadSimples::abrir(restaurante);
    escolhe(janela, arquivo);
    return janela;
}

// A click on the file in the window's list, in the program directory.
void UploadSimplesTest::escolhe(QWidget* janela, const QString& arquivo)
{
    janela->findChild<EscolhaArquivo*>()->setPasta(m_dir->path());
    auto* lista = child<QListWidget>(janela, "file");
    const auto itens = lista->findItems(arquivo, Qt::MatchExactly);
    if (itens.size() != 1)
        qFatal("%s not listed", qPrintable(arquivo));
    lista->setCurrentItem(itens[0]);
    QTest::mouseClick(lista->viewport(), Qt::LeftButton, {}, lista->visualItemRect(itens[0]).center());
}

// The Restaurante registered and selected, and its delivery window opened from the main window.
frmUploadSimples* UploadSimplesTest::despachaRestaurante()
{
    cadastro::insertContribuinte({ieSimples,
                                  restaurante.razaoSocial,
                                  QStringLiteral("09.384.756/0001-56"),
                                  QStringLiteral("5611-2/01"),
                                  chaveSimples,
                                  {},
                                  true});
    Principal* p = Principal::instance();
    p->show();
    p->selecionaContribuinte(ieSimples, restaurante.razaoSocial, chaveSimples);
    child<QPushButton>(p, "Command1")->click();
    if (textos(test::takeMessages()) != QStringList{avisoCertificado})
        qFatal("no delivery notice");
    return frmUploadSimples::existing();
}

void UploadSimplesTest::enviaPelaJanela(frmUploadSimples* janela)
{
    EscolhaCertificado::queueEscolha(m_titulares[1]);
    child<QPushButton>(janela, "cmdUpload")->click();
}

void UploadSimplesTest::selecionaNoPrincipal(const QString& ie, const QString& chave)
{
    Principal* p = Principal::instance();
    p->show();
    p->selecionaContribuinte(ie, QStringLiteral("Empresa"), chave);
}

void UploadSimplesTest::janelaAoAbrir()
{
    QPointer<frmUploadSimples> janela = frmUploadSimples::abrir(restaurante);
    QCOMPARE(janela->windowTitle(), tituloSimples);
    QCOMPARE(child<QLabel>(janela, "lblEmpresa")->text(),
             QStringLiteral("Contribuinte: Restaurante Sabor de Minas ME - IE 7025551230008"));
    QCOMPARE(child<QLabel>(janela, "Label2")->text(),
             QStringLiteral("Selecione o arquivo que deseja enviar.  Para contribuintes inscritos no Simples "
                            "Nacional o arquivo a ser enviado é o DeclaraçãoDASN-_____.pdf"));
    QVERIFY(!child<QPushButton>(janela, "cmdUpload")->isEnabled());
    QCOMPARE(child<QLineEdit>(janela, "txtName")->text(), QStringLiteral("objArquivo"));
    QCOMPARE(child<QLineEdit>(janela, "txtMIMEType")->text(), QStringLiteral("application/octet-stream"));
    // Nothing about progress before an upload starts.
    QCOMPARE(child<QLabel>(janela, "lblSendSpeed")->text(), QStringLiteral("100% restante"));
    QVERIFY(child<QLabel>(janela, "lblSendSpeed")->isHidden());
    QVERIFY(child<QProgressBar>(janela, "ProgressBar1")->isHidden());
    // Fields the program fills are read-only and look it; those it reads from stay white.
    for (const char* nome : {"txtUrl", "txtUploadFile", "txtPasta"}) {
        auto* campo = child<QLineEdit>(janela, nome);
        QVERIFY2(campo->isReadOnly(), nome);
        QVERIFY2(campo->palette().color(QPalette::Base) !=
                     child<QLineEdit>(janela, "txtName")->palette().color(QPalette::Base),
                 nome);
    }
    QCOMPARE(child<QLineEdit>(janela, "txtPasta")->text(),
             QDir::toNativeSeparators(QDir(m_home.path()).absolutePath()));
    // Wide enough for its caption.
    QVERIFY(janela->width() > janela->fontMetrics().horizontalAdvance(tituloSimples));
    QCOMPARE(janela->cpfCnpjContador(), TestCertificates::accountantCpf);
    QVERIFY(janela->findChild<Upload*>(QStringLiteral("Winsock1")));
    QCOMPARE(janela->findChild<EscolhaArquivo*>()->pasta(), QDir(m_home.path()).absolutePath());
    // A caption puts the focus on its control.
    child<PainelUpload>(janela, "painelUpload")->setDetalhesVisiveis(true);
    QVERIFY(QTest::qWaitForWindowExposed(janela));
    auto* rotulo = child<QLabel>(janela, "lblName");
    QTest::mouseClick(rotulo, Qt::LeftButton);
    QTRY_VERIFY(child<QLineEdit>(janela, "txtName")->hasFocus());
    QTRY_COMPARE(child<QLineEdit>(janela, "txtName")->selectedText(), QStringLiteral("objArquivo"));
    QTest::keyClick(janela, Qt::Key_Escape);
    QTRY_VERIFY(!janela);
}

void UploadSimplesTest::extensao_data()
{
    QTest::addColumn<QString>("nome");
    QTest::addColumn<bool>("aceito");
    QTest::newRow("upper case") << "DECLARACAO.PDF" << true;
    QTest::newRow("accents") << "Declaração.pdf" << true;
    QTest::newRow("backup") << "extrato.pdf.bak" << false;
    QTest::newRow("no dot") << "extratopdf" << true;
    QTest::newRow("GDB") << "VAF.GDB" << false;
}

// Only the files the window accepts are listed; one chosen some other way is refused all the same.
void UploadSimplesTest::extensao()
{
    QFETCH(QString, nome);
    QFETCH(bool, aceito);
    Principal::instance()->show();
    Principal::instance()->setInputEnabled(false);
    m_dir->writeFile(nome, pdf.toUtf8());
    frmUploadSimples* janela = frmUploadSimples::abrir(restaurante);
    auto* escolha = janela->findChild<EscolhaArquivo*>();
    escolha->setPasta(m_dir->path());
    QCOMPARE(escolha->arquivos().contains(nome), aceito);
    QVERIFY(!escolha->arquivos().contains(QStringLiteral("dipam.db")));
    emit escolha->arquivoEscolhido(m_dir->path(), nome);
    QCOMPARE(child<QPushButton>(janela, "cmdUpload")->isEnabled(), aceito);
    QCOMPARE(child<QLineEdit>(janela, "txtUploadFile")->text(), QDir::toNativeSeparators(m_dir->file(nome)));
    QCOMPARE(textos(test::takeMessages()), aceito ? QStringList() : QStringList{QStringLiteral("Arquivo Inválido")});
    QCOMPARE(Principal::instance()->isEnabled(), aceito);
}

void UploadSimplesTest::bytesComoEnviados()
{
    test::HttpDouble http(true);
    http.setAnswer(test::HttpDouble::answer("ENTREGA RECEBIDA", "text/html"));
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), http.port());
    Principal* p = Principal::instance();
    p->thisCont_cpf_cnpj = QStringLiteral("123.456.789-09");
    selecionaNoPrincipal(ieSimples, chaveSimples);
    frmUploadSimples* janela = abreJanela(QStringLiteral("Declaração.pdf"), pdf.toUtf8());
    QPointer<frmUploadSimples> viva(janela);
    enviaPelaJanela(janela);
    QTRY_VERIFY(!viva);
    QVERIFY(http.requests().size() >= 1);
    const auto& r = http.requests().first();
    QCOMPARE(r.target, QByteArray("/client/xt_upload_simples.php?contador=123.456.789-09&chave=R2D5L6YB&gias="));
    QVERIFY(r.body.contains("filename=\"Declara\xe7\xe3o.pdf\"\r\nContent-Type: application/octet-stream\r\n\r\n" +
                            pdf.toUtf8() + "\r\n--"));
    QCOMPARE(m_pausas.mid(0, 3), (QList<int>{50, 100, 1500}));
    // The refresh asked the double too and could not read its answer; it said so itself.
    QCOMPARE(textos(test::takeMessages()),
             QStringList{QStringLiteral("O Servidor está indisponivel, tente novamente mais tarde.")});
}

void UploadSimplesTest::marcas_data()
{
    QTest::addColumn<QByteArray>("resposta");
    QTest::addColumn<QStringList>("mensagens");
    QTest::newRow("none") << QByteArray("ENTREGA RECEBIDA") << QStringList();
    QTest::newRow("extrato") << QByteArray("ARQUIVO INVALIDO - EXTRATO") << QStringList{mensagem(0)};
    QTest::newRow("modificado then extrato")
        << QByteArray("ARQUIVO INVALIDO - MODIFICADO<br>ARQUIVO INVALIDO - EXTRATO")
        << QStringList{mensagem(0), mensagem(2)};
    QTest::newRow("all three") << QByteArray("ARQUIVO INVALIDO - RECIBO ARQUIVO INVALIDO - MODIFICADO "
                                             "ARQUIVO INVALIDO - EXTRATO")
                               << QStringList{mensagem(0), mensagem(1), mensagem(2)};
}

// Without a main window there is no refresh: only the markers speak.
void UploadSimplesTest::marcas()
{
    QFETCH(QByteArray, resposta);
    QFETCH(QStringList, mensagens);
    test::HttpDouble http(true);
    http.setAnswer(test::HttpDouble::answer(resposta, "text/html"));
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), http.port());
    QPointer<frmUploadSimples> janela = abreJanela(QStringLiteral("a.pdf"), pdf.toUtf8());
    enviaPelaJanela(janela);
    QTRY_VERIFY(!janela);
    QCOMPARE(textos(test::takeMessages()), mensagens);
}

void UploadSimplesTest::servidorHostil_data()
{
    QTest::addColumn<QString>("caso");
    QTest::addColumn<QString>("motivo");
    const QString fechou =
        QStringLiteral("O servidor encerrou a conexão antes de responder; a entrega não foi confirmada.");
    QTest::newRow("refused") << "recusa"
                             << "O servidor recusou a conexão.";
    QTest::newRow("closed without a word") << "fecha" << fechou;
    QTest::newRow("never answers") << "silencio"
                                   << "O servidor não respondeu dentro do tempo limite.";
    QTest::newRow("resets") << "reset" << fechou;
}

// Each says what failed and leaves the window open with the file chosen, the main window usable;
// the user then sends again.
void UploadSimplesTest::servidorHostil()
{
    QFETCH(QString, caso);
    QFETCH(QString, motivo);
    test::HttpDouble http(true);
    QString porta = http.port();
    if (caso == QLatin1String("recusa")) {
        QTcpServer livre;
        QVERIFY(test::HttpDouble::listenBelow32768(livre));
        porta = QString::number(livre.serverPort());
        livre.close();
    }
    http.setSilent(caso == QLatin1String("silencio"));
    http.setReset(caso == QLatin1String("reset"));
    http.setAnswer({});
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), porta);
    Principal::instance()->show();
    QPointer<frmUploadSimples> janela = abreJanela(QStringLiteral("a.pdf"), pdf.toUtf8());
    enviaPelaJanela(janela);
    if (caso == QLatin1String("silencio")) {
        // Sent, waiting for the answer: the panel shows where the exchange stands.
        QTRY_COMPARE(child<QLabel>(janela, "lblSendSpeed")->text(), QStringLiteral("Aguarde, carregando informações"));
        QVERIFY(child<QLabel>(janela, "lblSendSpeed")->isVisible());
        QCOMPARE(child<QProgressBar>(janela, "ProgressBar1")->value(), 100);
        QVERIFY(child<QPlainTextEdit>(janela, "txtRequest")
                    ->toPlainText()
                    .startsWith(QStringLiteral("POST /client/xt_upload_simples.php?contador=")));
    }
    QList<MessageBox::Shown> vistas;
    QTRY_VERIFY_WITH_TIMEOUT((vistas += test::takeMessages(), !vistas.isEmpty()), 10000);
    QCOMPARE(vistas.size(), 1);
    QCOMPARE(vistas[0].text, QStringLiteral("A entrega de Restaurante Sabor de Minas ME (IE 7025551230008) não foi "
                                            "concluída.\r\n%1\r\nO arquivo escolhido foi mantido para uma nova "
                                            "tentativa.")
                                 .arg(motivo));
    QVERIFY(janela && janela->isVisible());
    QVERIFY(Principal::instance()->isEnabled());
    QVERIFY(child<QLabel>(janela, "lblSendSpeed")->isHidden());
    QCOMPARE(child<QLineEdit>(janela, "txtUploadFile")->text(), QDir::toNativeSeparators(m_dir->file("a.pdf")));
    QCOMPARE(child<QListWidget>(janela, "file")->currentItem()->text(), QStringLiteral("a.pdf"));
    QVERIFY(child<QPushButton>(janela, "cmdUpload")->isEnabled());
    QVERIFY(listaEntregas().isEmpty());

    // The user sends again, to a server that answers.
    test::HttpDouble bom(true);
    bom.setAnswer(test::HttpDouble::answer("ENTREGA RECEBIDA - PROTOCOLO 2026000005", "text/html"));
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), bom.port());
    enviaPelaJanela(janela);
    QTRY_VERIFY_WITH_TIMEOUT(!janela, 10000);
    QVERIFY(bom.requests().first().target.endsWith("&chave=R2D5L6YB&gias="));
    test::takeMessages(); // the refresh could not read the double's answer
}

void UploadSimplesTest::servidorMentiroso_data()
{
    QTest::addColumn<QString>("caso"); // HttpDouble::playHostile, or "500": an error page
    QTest::newRow("error page") << "500";
    QTest::newRow("not HTTP") << "garbage";
    QTest::newRow("drips") << "dripping";
}

// Whatever first comes back is the answer: the delivery is told as not accepted, with the server's
// words, and kept with them; the file chosen is untouched.
void UploadSimplesTest::servidorMentiroso()
{
    QFETCH(QString, caso);
    test::HttpDouble http(true);
    const QByteArray pagina = test::HttpDouble::answer("<html>erro</html>", "text/html", "500 Internal Server Error");
    if (!http.playHostile(caso))
        http.setAnswer(pagina);
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), http.port());
    setSoapTimeoutForTests(1000); // the refresh after the delivery asks the same server
    setSoapDeadlineForTests(2000);
    Principal::instance()->show();
    QPointer<frmUploadSimples> janela = abreJanela(QStringLiteral("a.pdf"), pdf.toUtf8());
    enviaPelaJanela(janela);
    QTRY_VERIFY_WITH_TIMEOUT(!janela, 10000);
    for (const MessageBox::Shown& m : test::takeMessages()) // the refresh's, against the same server
        QVERIFY2(!m.text.startsWith(QStringLiteral("A entrega de")), qPrintable(m.text));
    const QList<Entrega> copias = listaEntregas();
    QCOMPARE(copias.size(), 1);
    QVERIFY(!copias[0].resposta.isEmpty());
    QVERIFY(caso == QLatin1String("500") ? copias[0].resposta == pagina : !copias[0].resposta.contains("PROTOCOLO"));
    const QString primeira =
        copias[0].primeiraLinhaResposta.isEmpty() ? QStringLiteral("(vazia)") : copias[0].primeiraLinhaResposta;
    QCOMPARE(child<QLabel>(Principal::instance(), "lblResultadoEntrega")->text(),
             QStringLiteral("Entrega de Restaurante Sabor de Minas ME (IE 7025551230008) não aceita pelo servidor. "
                            "Resposta do servidor: ") +
                 primeira);
    QFile escolhido(m_dir->file(QStringLiteral("a.pdf")));
    QVERIFY(escolhido.open(QIODevice::ReadOnly));
    QCOMPARE(escolhido.readAll(), pdf.toUtf8());
    QVERIFY(Principal::instance()->isEnabled());
}

void UploadSimplesTest::entregaNoServidor_data()
{
    QTest::addColumn<QByteArray>("conteudo");
    QTest::addColumn<int>("marca"); // the refusal shown, -1 when the delivery is accepted
    QTest::newRow("accepted") << pdf.toUtf8() << -1;
    QTest::newRow("not a PDF") << QByteArray("GIF89a") << 0;
    QTest::newRow("a receipt") << QByteArray("%PDF-1.4\nRECIBO\n%%EOF\n") << 1;
    QTest::newRow("saved again") << QByteArray("%PDF-1.4\n%%EOF\nmais\n%%EOF\n") << 2;
}

// The whole road: the delivery button, the certificate, the stand-in server, the new delivery in
// the refreshed history and in the copy kept here.
void UploadSimplesTest::entregaNoServidor()
{
    QFETCH(QByteArray, conteudo);
    QFETCH(int, marca);
    cadastro::insertContribuinte({ieSimples,
                                  QStringLiteral("Restaurante Sabor de Minas ME"),
                                  QStringLiteral("09.384.756/0001-56"),
                                  QStringLiteral("5611-2/01"),
                                  chaveSimples,
                                  {},
                                  true});
    selecionaNoPrincipal(ieSimples, chaveSimples);
    Principal* p = Principal::instance();
    QVERIFY(p->RecebeDadosServer().ok());
    auto* grade = child<QTableWidget>(p, "GridTransmissoes");
    const int antes = grade->rowCount();
    child<QPushButton>(p, "Command1")->click();
    QCOMPARE(textos(test::takeMessages()), QStringList{avisoCertificado});
    QPointer<frmUploadSimples> janela = frmUploadSimples::existing();
    QVERIFY(janela);
    QVERIFY(!p->anoTrabalho.isEmpty());
    QVERIFY(janela->windowTitle().endsWith(QStringLiteral(" - Ano trabalho: ") + p->anoTrabalho));
    QVERIFY(p->isEnabled());

    m_dir->writeFile(QStringLiteral("DeclaracaoDASN-2025.pdf"), conteudo);
    janela->findChild<EscolhaArquivo*>()->setPasta(m_dir->path());
    auto* lista = child<QListWidget>(janela, "file");
    QListWidgetItem* item = lista->findItems(QStringLiteral("DeclaracaoDASN-2025.pdf"), Qt::MatchExactly).at(0);
    lista->setCurrentItem(item);
    emit lista->itemClicked(item);
    enviaPelaJanela(janela);
    QTRY_VERIFY_WITH_TIMEOUT(!janela, 20000);
    QCOMPARE(textos(test::takeMessages()), marca < 0 ? QStringList() : QStringList{mensagem(marca)});
    QCOMPARE(grade->rowCount(), antes + (marca < 0 ? 1 : 0));
    const QList<Entrega> copias = listaEntregas();
    QCOMPARE(copias.size(), 1);
    QCOMPARE(copias[0].ie, ieSimples);
    QCOMPARE(copias[0].razaoSocial, QStringLiteral("Empresa")); // as the main window showed it
    QCOMPARE(copias[0].arquivo, QStringLiteral("DeclaracaoDASN-2025.pdf"));
    QCOMPARE(copias[0].tamanho, conteudo.size());
    QCOMPARE(copias[0].sha256,
             QString::fromLatin1(QCryptographicHash::hash(conteudo, QCryptographicHash::Sha256).toHex()));

    // The answer stays in the main window's status line until the next action there.
    auto* resultado = child<QLabel>(p, "lblResultadoEntrega");
    const QString primeira = copias[0].primeiraLinhaResposta;
    QVERIFY2(resultado->text().endsWith(QStringLiteral("Resposta do servidor: ") + primeira),
             qPrintable(resultado->text()));
    if (marca < 0) {
        QVERIFY(primeira.startsWith(QStringLiteral("ENTREGA RECEBIDA - PROTOCOLO ")));
        QVERIFY2(resultado->text().startsWith(
                     QStringLiteral("Entrega de Empresa (IE 7025551230008) recebida pelo servidor: protocolo ") +
                     primeira.mid(29) + u'.'),
                 qPrintable(resultado->text()));
    } else {
        QVERIFY(resultado->text().contains(QStringLiteral("não aceita pelo servidor")));
        // Refused: the next window shows the folder and the file of this one, selected.
        child<QPushButton>(p, "Command1")->click();
        QCOMPARE(textos(test::takeMessages()), QStringList{avisoCertificado});
        QVERIFY(resultado->text().isEmpty());
        janela = frmUploadSimples::existing();
        QCOMPARE(janela->findChild<EscolhaArquivo*>()->pasta(), QDir(m_dir->path()).absolutePath());
        QCOMPARE(child<QListWidget>(janela, "file")->currentItem()->text(), QStringLiteral("DeclaracaoDASN-2025.pdf"));
        janela->close();
        QTRY_VERIFY(!janela);
        return;
    }
    child<QAction>(p, "mnSAjuda")->trigger();
    QCOMPARE(test::takeMessages().size(), 1);
    QVERIFY(resultado->text().isEmpty());
}

void UploadSimplesTest::despachoSemContador()
{
    cadastro::deleteContador();
    selecionaNoPrincipal(ieSimples, chaveSimples);
    Principal* p = Principal::instance();
    child<QPushButton>(p, "Command1")->click();
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("É necessário informar os dados do contador para envio da declaração"));
    QCOMPARE(shown[0].title, QStringLiteral("Tervalia - MG"));
    QVERIFY(test::topLevel("frmContador"));
    QVERIFY(!frmUploadSimples::existing() && !frmUpload::existing());
    QVERIFY(p->isEnabled());
}

void UploadSimplesTest::despachoPorRegime_data()
{
    QTest::addColumn<bool>("simples");
    QTest::addColumn<QString>("ano");
    QTest::newRow("simples, year") << true << "2024/2025";
    QTest::newRow("simples, no refresh") << true << "";
    QTest::newRow("debit/credit, year") << false << "2024/2025";
    QTest::newRow("debit/credit, no refresh") << false << "";
}

void UploadSimplesTest::despachoPorRegime()
{
    QFETCH(bool, simples);
    QFETCH(QString, ano);
    const QString ie = simples ? ieSimples : ieDebito;
    cadastro::insertContribuinte(
        {ie, QStringLiteral("Empresa"), QStringLiteral("09.384.756/0001-56"), {}, chaveSimples, {}, simples});
    selecionaNoPrincipal(ie, chaveSimples);
    Principal* p = Principal::instance();
    p->anoTrabalho = ano;
    for (int vez = 0; vez < 2; ++vez) {
        child<QPushButton>(p, "Command1")->click();
        const auto shown = test::takeMessages();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, avisoCertificado);
        QCOMPARE(shown[0].title, QStringLiteral("Informação"));
        QCOMPARE(shown[0].icon, QMessageBox::Information);
        QCOMPARE(p->thisCont_cpf_cnpj, QStringLiteral("123.456.789-09"));
        QWidget* janela = simples ? static_cast<QWidget*>(frmUploadSimples::existing())
                                  : static_cast<QWidget*>(frmUpload::existing());
        QVERIFY(janela);
        QVERIFY(!(simples ? static_cast<QWidget*>(frmUpload::existing()) : frmUploadSimples::existing()));
        const QString base = simples ? tituloSimples : tituloVaf;
        QCOMPARE(janela->windowTitle(), ano.isEmpty() ? base : base + QStringLiteral(" - Ano trabalho: ") + ano);
        // Wide enough for the caption with the year.
        QVERIFY(janela->width() > janela->fontMetrics().horizontalAdvance(janela->windowTitle()));
        QCOMPARE(p->isEnabled(), simples);
        p->setInputEnabled(true); // a second press, as from the menu-less main window
    }
    QPointer<QWidget> janela =
        simples ? static_cast<QWidget*>(frmUploadSimples::existing()) : static_cast<QWidget*>(frmUpload::existing());
    p->setInputEnabled(false);
    janela->close();
    QTRY_VERIFY(!janela);
    QVERIFY(p->isEnabled());
}

void UploadSimplesTest::despachoEmpresaExcluida()
{
    selecionaNoPrincipal(QStringLiteral("7009999900011"), chaveSimples);
    Principal* p = Principal::instance();
    child<QPushButton>(p, "Command1")->click();
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown[0].text.startsWith(QStringLiteral("\r\n")));
    QVERIFY2(shown[0].text.contains(QStringLiteral("7009999900011")), qPrintable(shown[0].text));
    QVERIFY(!frmUploadSimples::existing() && !frmUpload::existing());
    QVERIFY(p->isEnabled());
}

void UploadSimplesTest::escolhaLembraPasta()
{
    QDir(m_dir->path()).mkpath(QStringLiteral("sub/pasta"));
    m_dir->writeFile(QStringLiteral("sub/pasta/x.pdf"), "x");
    {
        EscolhaArquivo escolha;
        QCOMPARE(escolha.pasta(), QDir(m_home.path()).absolutePath());
        auto* unidades = child<QComboBox>(&escolha, "Drive1");
        QVERIFY(unidades->count() >= 2);
        QCOMPARE(unidades->currentIndex(), 0); // the home folder
        // Choosing a drive shows its root; the drive list follows the folder shown.
        const int raiz = unidades->findData(QStringLiteral("/"));
        QVERIFY(raiz > 0);
        emit unidades->activated(raiz);
        QCOMPARE(escolha.pasta(), QStringLiteral("/"));
        QCOMPARE(unidades->currentIndex(), raiz);
        escolha.setPasta(m_dir->file(QStringLiteral("sub")));
        auto* pastas = child<QListWidget>(&escolha, "dir");
        QCOMPARE(pastas->item(0)->text(), QStringLiteral(".."));
        emit pastas->itemActivated(pastas->findItems(QStringLiteral("pasta"), Qt::MatchExactly).at(0));
        QCOMPARE(escolha.arquivos(), QStringList{QStringLiteral("x.pdf")});
        QSignalSpy escolhido(&escolha, &EscolhaArquivo::arquivoEscolhido);
        auto* arquivos = child<QListWidget>(&escolha, "file");
        arquivos->setCurrentRow(0);
        emit arquivos->itemClicked(arquivos->item(0));
        QCOMPARE(escolhido.size(), 1);
        QCOMPARE(escolhido[0][1].toString(), QStringLiteral("x.pdf"));
    }
    const QString esperada = QDir(m_dir->file(QStringLiteral("sub/pasta"))).absolutePath();
    QCOMPARE(EscolhaArquivo(nullptr).pasta(), esperada);
    // Across runs: the folder is read back from the program directory.
    EscolhaArquivo::esqueceUltimaPasta();
    QCOMPARE(EscolhaArquivo(nullptr).pasta(), esperada);
}

// The window belongs to the company it was opened for: another company selected meanwhile in the
// main window (which the Simples window leaves usable) changes nothing of what is sent.
void UploadSimplesTest::janelaDaEmpresa()
{
    cadastro::insertContribuinte({ieDebito,
                                  QStringLiteral("Mercearia Boa Vista Ltda"),
                                  QStringLiteral("18.473.625/0001-36"),
                                  QStringLiteral("4711-3/02"),
                                  QStringLiteral("K7M2Q9TX"),
                                  {},
                                  false});
    QPointer<frmUploadSimples> janela = despachaRestaurante();
    QVERIFY(janela);
    QCOMPARE(child<QLabel>(janela, "lblEmpresa")->text(),
             QStringLiteral("Contribuinte: Restaurante Sabor de Minas ME - IE 7025551230008"));
    Principal* p = Principal::instance();
    QVERIFY(p->isEnabled());
    p->selecionaContribuinte(ieDebito, QStringLiteral("Mercearia Boa Vista Ltda"), QStringLiteral("K7M2Q9TX"));
    QVERIFY(p->RecebeDadosServer().ok());

    m_dir->writeFile(QStringLiteral("DeclaracaoDASN-2025.pdf"), pdf.toUtf8());
    escolhe(janela, QStringLiteral("DeclaracaoDASN-2025.pdf"));
    enviaPelaJanela(janela);
    QTRY_VERIFY_WITH_TIMEOUT(!janela, 20000);
    QCOMPARE(textos(test::takeMessages()), QStringList());
    const QList<Entrega> copias = listaEntregas();
    QCOMPARE(copias.size(), 1);
    QCOMPARE(copias[0].ie, ieSimples);
    QCOMPARE(copias[0].razaoSocial, restaurante.razaoSocial);
    QVERIFY2(copias[0].endereco.contains(QStringLiteral("&chave=R2D5L6YB&")), qPrintable(copias[0].endereco));
    QVERIFY(child<QLabel>(p, "lblResultadoEntrega")->text().contains(QStringLiteral("(IE 7025551230008) recebida")));
    QCOMPARE(p->ieSelecionada(), ieDebito);
}

// "&Cancelar" during an upload: the main window usable, the window hidden, the upload goes on to its
// answer, which is recorded, refreshes the history and closes the window. A second dispatch
// meanwhile shows the same window and sends nothing more.
void UploadSimplesTest::cancelarDuranteEnvio()
{
    if (QPointer<frmUploadSimples> antiga = frmUploadSimples::existing()) {
        antiga->close();
        QTRY_VERIFY(!antiga);
    }
    JanelaEntrega::setAjusteParaTestes([](OpcoesUpload& o) { o.limiteConexaoMs = o.limiteSilencioMs = 20000; });
    test::HttpDouble http(true);
    http.setHeld(true);
    http.setAnswer(test::HttpDouble::answer("ENTREGA RECEBIDA - PROTOCOLO 2026000009", "text/html"));
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), http.port());
    QPointer<frmUploadSimples> janela = despachaRestaurante();
    m_dir->writeFile(QStringLiteral("a.pdf"), pdf.toUtf8());
    escolhe(janela, QStringLiteral("a.pdf"));
    enviaPelaJanela(janela);
    QTRY_COMPARE(child<QLabel>(janela, "lblSendSpeed")->text(), QStringLiteral("Aguarde, carregando informações"));
    QTest::mouseClick(child<QPushButton>(janela, "Command2"), Qt::LeftButton);
    QVERIFY(janela && !janela->isVisible());
    Principal* p = Principal::instance();
    QVERIFY(p->isEnabled());

    child<QPushButton>(p, "Command1")->click();
    QCOMPARE(textos(test::takeMessages()), QStringList{avisoCertificado});
    QCOMPARE(frmUploadSimples::existing(), janela.data());
    QVERIFY(janela->isVisible());
    child<QPushButton>(janela, "cmdUpload")->click(); // under way: nothing happens
    janela->close();                                  // hides it again
    QVERIFY(janela && !janela->isVisible());
    // Another Simples Nacional company waits for that answer.
    cadastro::insertContribuinte({QStringLiteral("7009999900011"),
                                  QStringLiteral("Outra ME"),
                                  QStringLiteral("09.384.756/0001-56"),
                                  {},
                                  QStringLiteral("ZZZZ9999"),
                                  {},
                                  true});
    p->selecionaContribuinte(QStringLiteral("7009999900011"), QStringLiteral("Outra ME"), QStringLiteral("ZZZZ9999"));
    child<QPushButton>(p, "Command1")->click();
    const QStringList espera = textos(test::takeMessages());
    QCOMPARE(espera.size(), 1);
    QVERIFY2(espera[0].startsWith(QStringLiteral("A entrega de Restaurante Sabor de Minas ME (IE 7025551230008) ainda "
                                                 "aguarda a resposta do servidor.")),
             qPrintable(espera[0]));
    QVERIFY(!janela->isVisible());

    http.release();
    QTRY_VERIFY_WITH_TIMEOUT(!janela, 10000);
    JanelaEntrega::setAjusteParaTestes([](OpcoesUpload& o) {
        o.limiteConexaoMs = 2000;
        o.limiteSilencioMs = 1500;
    });
    QCOMPARE(http.connections(), 2); // the upload and the history's refresh
    QCOMPARE(textos(test::takeMessages()),
             QStringList{QStringLiteral("O Servidor está indisponivel, tente novamente mais tarde.")});
    QCOMPARE(listaEntregas().size(), 1);
    QVERIFY(child<QLabel>(p, "lblResultadoEntrega")->text().contains(QStringLiteral("protocolo 2026000009")));
    QVERIFY(p->isEnabled());
}

void UploadSimplesTest::envioRecusado_data()
{
    QTest::addColumn<QString>("endereco");
    QTest::addColumn<bool>("arquivo");
    QTest::addColumn<QString>("inicio"); // how the message starts; empty: the chooser was cancelled
    QTest::addColumn<QString>("titulo");
    QTest::newRow("no file") << "http://127.0.0.1:20000 /x?a=" << false << "No File Chosen"
                             << "ERROR";
    QTest::newRow("no host") << "http://:20000 /x?a=" << true << "Invalid Host"
                             << "ERROR";
    QTest::newRow("port too high") << "http://127.0.0.1:40000 /x?a=" << true << "A porta \"40000\""
                                   << "ERROR";
    // The settings' port stands in for one the address lacks; here it is no number either.
    QTest::newRow("port not a number") << "http://127.0.0.1:abc /x?a=" << true << "A porta do servidor em dipam.ini"
                                       << "ERROR";
    QTest::newRow("certificate refused") << "http://127.0.0.1:20000 /x?a=" << true << ""
                                         << "";
}

void UploadSimplesTest::envioRecusado()
{
    QFETCH(QString, endereco);
    QFETCH(bool, arquivo);
    QFETCH(QString, inicio);
    QFETCH(QString, titulo);
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), QStringLiteral("abc"));
    auto* janela = new JanelaTeste;
    janela->show();
    if (arquivo) {
        m_dir->writeFile(QStringLiteral("VAF.MDB"), "x");
        janela->painel()->txtUploadFile->setText(m_dir->file(QStringLiteral("VAF.MDB")));
    }
    if (inicio.isEmpty())
        EscolhaCertificado::queueCancelamento();
    else
        EscolhaCertificado::queueEscolha(m_titulares[1]);
    janela->envia(endereco);
    const auto shown = test::takeMessages();
    if (inicio.isEmpty()) {
        QVERIFY(shown.isEmpty());
        QVERIFY(!janela->certificadoValido());
    } else {
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.startsWith(inicio), qPrintable(shown[0].text));
        QCOMPARE(shown[0].title, titulo);
        QCOMPARE(shown[0].icon, QMessageBox::Critical);
    }
    QCOMPARE(janela->upload()->estado(), Upload::Estado::Ocioso);
    QVERIFY(janela->isVisible());
    janela->close();
}

void UploadSimplesTest::erroMostradoJanelaFica()
{
    QTcpServer livre;
    QVERIFY(test::HttpDouble::listenBelow32768(livre));
    const QString porta = QString::number(livre.serverPort());
    livre.close();
    QPointer<JanelaTeste> janela = new JanelaTeste;
    janela->show();
    m_dir->writeFile(QStringLiteral("VAF.MDB"), "x");
    janela->painel()->txtUploadFile->setText(m_dir->file(QStringLiteral("VAF.MDB")));
    EscolhaCertificado::queueEscolha(m_titulares[1]);
    janela->envia(QStringLiteral("http://127.0.0.1:%1 /x?a=").arg(porta));
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].title, QStringLiteral("ERROR"));
    QCOMPARE(shown[0].icon, QMessageBox::Warning);
    QVERIFY(janela && janela->isVisible());
    janela->close();
}

// After the upload: a refresh that cannot reach the server and a copy that cannot be kept are both
// told, and the window still closes.
void UploadSimplesTest::falhaDaAtualizacaoECopia()
{
    test::HttpDouble http(true);
    http.setAnswer(test::HttpDouble::answer("ENTREGA RECEBIDA", "text/html"));
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), http.port());
    m_dir->writeFile(QStringLiteral("entregas"), "not a folder");
    http.setOnRequest([this] { m_dir->writeSettings(QStringLiteral("127.0.0.1"), QStringLiteral("1")); });
    selecionaNoPrincipal(ieSimples, chaveSimples);
    QPointer<frmUploadSimples> janela = abreJanela(QStringLiteral("a.pdf"), pdf.toUtf8());
    enviaPelaJanela(janela);
    QTRY_VERIFY(!janela);
    const QStringList t = textos(test::takeMessages());
    QCOMPARE(t.size(), 2);
    QVERIFY2(t[0].startsWith(QStringLiteral("A entrega foi enviada, mas a cópia")), qPrintable(t[0]));
    QVERIFY2(t[1].startsWith(QStringLiteral("O arquivo foi enviado, mas o histórico")), qPrintable(t[1]));
    QVERIFY(t[1].size() > 90); // with the refresh's own description
    QVERIFY(Principal::instance()->isEnabled());
}

QTEST_MAIN(UploadSimplesTest)
#include "UploadSimplesTest.moc"
