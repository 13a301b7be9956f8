#include "taxpayers/SelecionarCertificado.h"
#include "net/HttpDouble.h"
#include "net/Soap.h"
#include "platform/CertStore.h"
#include "platform/EscolhaCertificado.h"
#include "storage/Cadastro.h"
#include "support/GuiTest.h"
#include "support/StandInServer.h"
#include "support/TestCertificates.h"
#include "support/TestProgramDir.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTest>
#include <QWidget>

#include <memory>

using namespace tervalia;
using test::CertProfile;
using test::TestCertificates;

namespace {
const QString tituloMG = QStringLiteral("Tervalia - MG");
const QString naoPossui = QStringLiteral("O Certificado não possui informações da empresa selecionada ou contador.");
const QString expirado = QStringLiteral("Certificado expirado, contate seu fornecedor");
const QString invalido = QStringLiteral("O Certificado escolhido é inválido. Verifique a validade e se o mesmo confere "
                                        "com os dados informados no cadastro do contador.");
const QString ilegivel =
    QStringLiteral("A resposta do servidor ao pedido da chave não pôde ser lida. Nenhuma chave foi "
                   "recebida; tente novamente mais tarde.");

EmpresaDigitada empresa()
{
    return {QStringLiteral("7001234500028"), QStringLiteral("Empresa Teste Ltda"), QStringLiteral("11.222.333/0001-81"),
            QStringLiteral("4711-3/02")};
}

PedidoCertificado pedidoChave(const EmpresaDigitada& e = empresa())
{
    return PedidoCertificado{FormaCertificado::PedidoChave, e, {}, {}, false};
}

PedidoCertificado pedidoEntrega(const QDateTime& dataServidor, bool valido = false)
{
    return PedidoCertificado{FormaCertificado::Entrega, {}, TestCertificates::accountantCpf, dataServidor, valido};
}

// The "return" text of a known company: date at 21-39, Simples at 51, key at 61-68.
QString retornoChave(const QString& data, QChar simples = u'S', const QString& chave = QStringLiteral("K7M2Q9TX"))
{
    return QStringLiteral("DATAHORA_SERVIDOR = %1 SIMPLES = %2 CHAVE = %3").arg(data, simples, chave);
}

QByteArray respostaSoap(const QString& retorno)
{
    return test::HttpDouble::soapAnswer(QStringLiteral("Transferencia.ecnpj"), retorno);
}

QString textoData(const QDateTime& t)
{
    return t.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}
} // namespace

class SelecionarCertificadoTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void databaseFailureComesBeforeTheChooser();
    void fieldChecks_data();
    void fieldChecks();
    void cancelledChooserSaysNothing();
    void chooserOffersTheStore();
    void foreignCertificateIsRefusedWithoutCall();
    void expiredCertificateToldBeforeAnyExchange();
    void envelopeAsSent();
    void answers_data();
    void answers();
    void accountantCertificateServesAnyCompany();
    void failedExchange_data();
    void failedExchange();
    void answerWithoutReturn();
    void unreadableCrlExtensionGoesOn();
    void unusableStore();
    void keyFromTheStandInServer();
    void delivery_data();
    void delivery();
    void deliveryCancelKeepsTheFlag();
    void deliveryDatabaseFailure();

private:
    certstore::Certificate listado(const QString& titular);
    QList<MessageBox::Shown> messages() { return test::takeMessages(); }

    std::unique_ptr<TestCertificates> m_certs;
    QTemporaryDir m_home;
    QStringList m_holders;
    QByteArray m_savedHome;
    std::unique_ptr<test::TestProgramDir> m_dir;
    std::unique_ptr<test::HttpDouble> m_http;
    std::unique_ptr<QWidget> m_janela;
};

void SelecionarCertificadoTest::initTestCase()
{
    m_savedHome = qgetenv("HOME");
    certstore::setP11KitProxyPathForTests({});
    m_certs = std::make_unique<TestCertificates>();
    CertProfile quebrada{QStringLiteral("EMPRESA LCR QUEBRADA LTDA"), TestCertificates::companyCnpj};
    quebrada.brokenCrlExtension = true;
    m_holders = m_certs->installStore(m_home.path(), TestCertificates::standardSet() << quebrada);
}

void SelecionarCertificadoTest::init()
{
    qputenv("HOME", QFile::encodeName(m_home.path()));
    test::startGuiTest();
    m_dir = std::make_unique<test::TestProgramDir>();
    m_http = std::make_unique<test::HttpDouble>();
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), m_http->port());
    cadastro::replaceContador(
        {QStringLiteral("123.456.789-09"), {}, QStringLiteral("José"), {}, {}, {}, {}, {}, {}, {}, {}, {}});
    m_janela = std::make_unique<QWidget>();
}

void SelecionarCertificadoTest::cleanup()
{
    setSoapTimeoutForTests(0);
    setSoapDeadlineForTests(0);
    m_janela.reset();
    test::finishGuiTest();
    m_http.reset();
    m_dir.reset();
    qputenv("HOME", m_savedHome);
}

certstore::Certificate SelecionarCertificadoTest::listado(const QString& titular)
{
    for (const certstore::Certificate& c : certstore::list({}).certificates) {
        if (c.holder == titular)
            return c;
    }
    qFatal("no certificate of %s", qPrintable(titular));
}

void SelecionarCertificadoTest::databaseFailureComesBeforeTheChooser()
{
    m_dir->removeFile(QStringLiteral("dipam.db"));
    EscolhaCertificado::queueEscolha(m_holders[0]);
    const ResultadoCertificado r = SelecionarCertificado(m_janela.get(), pedidoChave());
    QVERIFY(!r.chave);
    const auto shown = messages();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown[0].text.startsWith(QStringLiteral("\r\nVB Error # ")));
    QVERIFY(EscolhaCertificado::takeOferecidos().isEmpty());
    EscolhaCertificado::reset();
}

void SelecionarCertificadoTest::fieldChecks_data()
{
    QTest::addColumn<EmpresaDigitada>("campos");
    QTest::addColumn<QString>("mensagem");
    EmpresaDigitada e = empresa();
    e.ie = QStringLiteral("700123450002_");
    QTest::newRow("IE short") << e << QStringLiteral("Inscrição Estadual preenchida incorretamente");
    e = empresa();
    e.razaoSocial = QStringLiteral("   ");
    QTest::newRow("name blank") << e << QStringLiteral("Razão Social preenchida incorretamente");
    e = empresa();
    e.cnpj = QStringLiteral("11.222.333/0001-8_");
    QTest::newRow("CNPJ short") << e << QStringLiteral("CNPJ preenchido incorretamente");
    e = empresa();
    e.cnpj = QStringLiteral("11.222.333/0001-82");
    QTest::newRow("CNPJ digits") << e << QStringLiteral("CNPJ preenchido é inválido");
    e = empresa();
    e.cnae = QStringLiteral("4711-3/0_");
    QTest::newRow("CNAE short") << e << QStringLiteral("CNAE preenchido incorretamente");
    // The first failing check wins.
    e.ie = QString();
    QTest::newRow("IE first") << e << QStringLiteral("Inscrição Estadual preenchida incorretamente");
}

void SelecionarCertificadoTest::fieldChecks()
{
    QFETCH(EmpresaDigitada, campos);
    QFETCH(QString, mensagem);
    const ResultadoCertificado r = SelecionarCertificado(m_janela.get(), pedidoChave(campos));
    QVERIFY(!r.chave && !r.certificadoValido);
    const auto shown = messages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, mensagem);
    QCOMPARE(shown[0].title, tituloMG);
    QCOMPARE(shown[0].icon, QMessageBox::Critical);
    QVERIFY(EscolhaCertificado::takeOferecidos().isEmpty());
}

void SelecionarCertificadoTest::cancelledChooserSaysNothing()
{
    EscolhaCertificado::queueCancelamento();
    PedidoCertificado p = pedidoChave();
    p.certificadoValido = true;
    const ResultadoCertificado r = SelecionarCertificado(m_janela.get(), p);
    QVERIFY(r.certificadoValido);
    QVERIFY(!r.chave && !r.certificado);
    QVERIFY(messages().isEmpty());
    QVERIFY(m_http->requests().isEmpty());
}

void SelecionarCertificadoTest::chooserOffersTheStore()
{
    SelecionarCertificado(m_janela.get(), pedidoChave());
    const auto offered = EscolhaCertificado::takeOferecidos();
    QCOMPARE(offered.size(), 1);
    QCOMPARE(offered[0].titulo, QStringLiteral("Selecione o Certificado Digital (e-CNPJ)"));
    QCOMPARE(offered[0].texto, QStringLiteral("Escolha o certificado e-CNPJ da empresa para receber a chave"));
    QCOMPARE(offered[0].linhas.size(), m_holders.size());
    for (const auto& l : offered[0].linhas) {
        if (l.titular == m_holders[2])
            QCOMPARE(l.situacao, EscolhaCertificado::Situacao::Expirado);
        else if (l.titular == m_holders[3])
            QCOMPARE(l.situacao, EscolhaCertificado::Situacao::AVencer);
        else
            QCOMPARE(l.situacao, EscolhaCertificado::Situacao::Valido);
    }
}

// The e-CNPJ of another company; the accountant's CPF is not in it either.
void SelecionarCertificadoTest::foreignCertificateIsRefusedWithoutCall()
{
    EscolhaCertificado::queueEscolha(m_holders[3]);
    const ResultadoCertificado r = SelecionarCertificado(m_janela.get(), pedidoChave());
    QVERIFY(!r.certificadoValido && !r.chave);
    const auto shown = messages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, naoPossui);
    QCOMPARE(shown[0].icon, QMessageBox::Information);
    QCOMPARE(shown[0].title, tituloMG);
    QVERIFY(m_http->requests().isEmpty());
}

// The chooser itself refuses a certificate that has expired: nothing reaches the server.
void SelecionarCertificadoTest::expiredCertificateToldBeforeAnyExchange()
{
    EscolhaCertificado::queueEscolha(m_holders[2]);
    const ResultadoCertificado r = SelecionarCertificado(m_janela.get(), pedidoChave());
    QVERIFY(!r.certificadoValido && !r.chave && !r.certificado);
    const auto shown = messages();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(
        shown[0].text.startsWith(QStringLiteral("O certificado de ") + m_holders[2] + QStringLiteral(" expirou em ")),
        qPrintable(shown[0].text));
    QCOMPARE(shown[0].icon, QMessageBox::Warning);
    QVERIFY(m_http->requests().isEmpty());
}

void SelecionarCertificadoTest::envelopeAsSent()
{
    m_http->setAnswer(respostaSoap(retornoChave(textoData(QDateTime::currentDateTime()))));
    EscolhaCertificado::queueEscolha(m_holders[0]);
    SelecionarCertificado(m_janela.get(), pedidoChave());
    QCOMPARE(m_http->requests().size(), 1);
    const test::HttpDouble::Request& pedido = m_http->requests().first();
    QCOMPARE(pedido.target, QByteArray("/ravu/server/index.php?wsdl"));
    QCOMPARE(pedido.headers.value("soapaction"), QByteArray("Transferencia.ecnpj"));
    QCOMPARE(pedido.body, QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?><soap12:Envelope "
                                     "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                                     "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
                                     "xmlns:soap12=\"http://www.w3.org/2003/05/soap-envelope\"> <soap12:Body>"
                                     "<Transferencia.ecnpj xmlns=\"\"><ie>7001234500028</ie>"
                                     "<cnpj>11.222.333/0001-81</cnpj><key>!QORTELUNA!</key></Transferencia.ecnpj>"
                                     "</soap12:Body></soap12:Envelope>"));
}

void SelecionarCertificadoTest::answers_data()
{
    QTest::addColumn<QString>("retorno");  // "%FIM" / "%DEPOIS" / "%ANTES" stand for dates at the validity's edges
    QTest::addColumn<QString>("mensagem"); // empty: the key arrives
    QTest::addColumn<QString>("chave");
    QTest::addColumn<bool>("simples");
    const QString agora = textoData(QDateTime::currentDateTime());
    QTest::newRow("Simples") << retornoChave(agora) << QString() << "K7M2Q9TX" << true;
    QTest::newRow("not Simples") << retornoChave(agora, u'N') << QString() << "K7M2Q9TX" << false;
    QTest::newRow("lower-case s") << retornoChave(agora, u's') << QString() << "K7M2Q9TX" << false;
    QTest::newRow("longer answer") << retornoChave(agora, u'S', QStringLiteral("ABCD1234XYZ")) << QString()
                                   << "ABCD1234" << true;
    QTest::newRow("end of validity") << retornoChave(QStringLiteral("%FIM")) << QString() << "K7M2Q9TX" << true;
    QTest::newRow("after validity") << retornoChave(QStringLiteral("%DEPOIS")) << expirado << "" << false;
    QTest::newRow("before validity") << retornoChave(QStringLiteral("%ANTES")) << expirado << "" << false;
    QTest::newRow("refused") << QStringLiteral("NAO_AUTORIZADO") << QStringLiteral("Atenção") << "" << false;
    QTest::newRow("key cut short") << retornoChave(agora, u'S', QStringLiteral("K7M2")) << ilegivel << "" << false;
    QTest::newRow("date unreadable") << retornoChave(QStringLiteral("31/02/2026 10:00:00")) << ilegivel << "" << false;
    QTest::newRow("empty") << QString() << ilegivel << "" << false;
}

void SelecionarCertificadoTest::answers()
{
    QFETCH(QString, retorno);
    QFETCH(QString, mensagem);
    QFETCH(QString, chave);
    QFETCH(bool, simples);
    const certstore::Certificate c = listado(m_holders[0]);
    retorno.replace(QLatin1String("%FIM"), textoData(c.validUntil))
        .replace(QLatin1String("%DEPOIS"), textoData(c.validUntil.addSecs(1)))
        .replace(QLatin1String("%ANTES"), textoData(c.validFrom.addSecs(-1)));
    m_http->setAnswer(respostaSoap(retorno));
    EscolhaCertificado::queueEscolha(m_holders[0]);
    const ResultadoCertificado r = SelecionarCertificado(m_janela.get(), pedidoChave());
    QVERIFY(r.certificadoValido);
    const auto shown = messages();
    if (mensagem.isEmpty()) {
        QVERIFY(shown.isEmpty());
        QVERIFY(r.chave);
        QCOMPARE(r.chave->chave, chave);
        QCOMPARE(r.chave->optanteSimples, simples);
    } else {
        QVERIFY(!r.chave);
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.startsWith(mensagem), qPrintable(shown[0].text));
    }
}

// The accountant's e-CPF (no CNPJ at all) is accepted for a company it does not name.
void SelecionarCertificadoTest::accountantCertificateServesAnyCompany()
{
    m_http->setAnswer(respostaSoap(retornoChave(textoData(QDateTime::currentDateTime()))));
    EscolhaCertificado::queueEscolha(m_holders[1]);
    EmpresaDigitada outra = empresa();
    outra.cnpj = QStringLiteral("18.473.625/0001-36");
    const ResultadoCertificado r = SelecionarCertificado(m_janela.get(), pedidoChave(outra));
    QVERIFY(r.chave);
    QVERIFY(messages().isEmpty());
}

void SelecionarCertificadoTest::failedExchange_data()
{
    QTest::addColumn<QString>("servidor"); // HttpDouble::playHostile
    QTest::newRow("nobody listening") << "dead";
    QTest::newRow("never answers") << "silent";
    QTest::newRow("drips past the deadline") << "dripping";
    QTest::newRow("resets") << "reset";
    QTest::newRow("not HTTP") << "garbage";
}

// Whatever went wrong on the way, the user is told to check the connection; no key, no call again.
void SelecionarCertificadoTest::failedExchange()
{
    QFETCH(QString, servidor);
    QVERIFY(m_http->playHostile(servidor));
    setSoapTimeoutForTests(1000);
    setSoapDeadlineForTests(2000);
    EscolhaCertificado::queueEscolha(m_holders[0]);
    const ResultadoCertificado r = SelecionarCertificado(m_janela.get(), pedidoChave());
    QVERIFY(!r.chave);
    const auto shown = messages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("Detectamos que há um problema de comunicação com a URL http://127.0.0.1. "
                                           "\r\n\r\nVerifique sua conectividade de Internet. \r\n\r\nObs: Recomendamos "
                                           "solicitar assistência ao responsável pela manutenção da rede"));
    QCOMPARE(shown[0].title, MessageBox::defaultTitle());
    QCOMPARE(m_http->requests().size(), servidor == QLatin1String("dead") ? 0 : 1);
}

// An error page instead of a SOAP answer: no key, a message, nothing else changes.
void SelecionarCertificadoTest::answerWithoutReturn()
{
    m_http->setAnswer(test::HttpDouble::answer("<html>erro interno</html>", "text/html", "500 Internal Server Error"));
    EscolhaCertificado::queueEscolha(m_holders[0]);
    const ResultadoCertificado r = SelecionarCertificado(m_janela.get(), pedidoChave());
    QVERIFY(!r.chave);
    const auto shown = messages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, ilegivel);
    QCOMPARE(shown[0].title, tituloMG);
}

void SelecionarCertificadoTest::unreadableCrlExtensionGoesOn()
{
    m_http->setAnswer(respostaSoap(retornoChave(textoData(QDateTime::currentDateTime()))));
    EscolhaCertificado::queueEscolha(m_holders[4]);
    const ResultadoCertificado r = SelecionarCertificado(m_janela.get(), pedidoChave());
    const auto shown = messages();
    QCOMPARE(shown.size(), 1);
    const QString prefixo = QStringLiteral("Could not retrieve the URLs from the CDP extension: 0x");
    QVERIFY(shown[0].text.startsWith(prefixo));
    const QString codigo = shown[0].text.mid(prefixo.size());
    QVERIFY(!codigo.isEmpty() && !codigo.startsWith(u'0'));
    QCOMPARE(codigo, codigo.toUpper());
    bool hex = false;
    codigo.toUInt(&hex, 16);
    QVERIFY(hex);
    QCOMPARE(shown[0].buttons, MessageBox::Buttons(QMessageBox::Ok));
    QVERIFY(r.chave); // and the request went on
}

void SelecionarCertificadoTest::unusableStore()
{
    QTemporaryDir estragado;
    QDir().mkpath(estragado.path() + QLatin1String("/.pki/nssdb"));
    QFile f(estragado.path() + QLatin1String("/.pki/nssdb/cert9.db"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    qputenv("HOME", QFile::encodeName(estragado.path()));
    for (FormaCertificado forma : {FormaCertificado::PedidoChave, FormaCertificado::Entrega}) {
        PedidoCertificado p = forma == FormaCertificado::PedidoChave ? pedidoChave() : pedidoEntrega({}, true);
        const ResultadoCertificado r = SelecionarCertificado(m_janela.get(), p);
        QCOMPARE(r.certificadoValido, p.certificadoValido);
        const auto shown = messages();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, mensagemComponentes());
        QVERIFY(shown[0].text.startsWith(QStringLiteral("O programa não pode inicializar os componentes necessários."
                                                        "\r\nFavor verificar")));
        QVERIFY(
            shown[0].text.contains(QStringLiteral("estas funções. \r\n\r\nMaiores informações sobre a CAPICOM em ")));
    }
}

void SelecionarCertificadoTest::keyFromTheStandInServer()
{
    QTemporaryDir dir;
    const QString seed = dir.filePath(QStringLiteral("seed.json"));
    QFile f(seed);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(R"({"anoTrabalho": "2025/2026", "versao": "1.15.01", "empresas": [
        {"ie": "7001234500028", "cnpj": "11.222.333/0001-81", "cnae": "4711-3/02", "simples": true,
         "chave": "T3ST8KEY", "razaoSocial": "Empresa Teste Ltda"}]})");
    f.close();
    test::StandInServer servidor({QStringLiteral("--seed"), seed});
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), QString::number(servidor.port()));
    EscolhaCertificado::queueEscolha(m_holders[0]);
    ResultadoCertificado r = SelecionarCertificado(m_janela.get(), pedidoChave());
    QVERIFY(messages().isEmpty());
    QVERIFY(r.chave);
    QCOMPARE(r.chave->chave, QStringLiteral("T3ST8KEY"));
    QVERIFY(r.chave->optanteSimples);
    // A company the server does not know is refused.
    EmpresaDigitada outra = empresa();
    outra.ie = QStringLiteral("7019876540034");
    EscolhaCertificado::queueEscolha(m_holders[0]);
    r = SelecionarCertificado(m_janela.get(), pedidoChave(outra));
    QVERIFY(!r.chave);
    const auto shown = messages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text,
             QStringLiteral("Atenção, não foi encontrado cadastro para as informações preenchidas.\r\n\r\n"
                            "Solicitamos entrar em contato por E-MAIL com o suporte, informando: CNPJ, "
                            "IE e CNAE do contribuinte."));
    QCOMPARE(shown[0].icon, QMessageBox::Critical);
}

void SelecionarCertificadoTest::delivery_data()
{
    QTest::addColumn<int>("titular");
    QTest::addColumn<QString>("quando"); // the server's date: now, at the end of validity, a second after, none
    QTest::addColumn<bool>("valido");
    QTest::newRow("accountant's, valid") << 1 << "agora" << true;
    QTest::newRow("at the end of validity") << 1 << "fim" << true;
    QTest::newRow("expired at the server's date") << 1 << "depois" << false;
    QTest::newRow("company's, not the accountant's") << 0 << "agora" << false;
    QTest::newRow("no server date: local clock") << 1 << "" << true;
}

void SelecionarCertificadoTest::delivery()
{
    QFETCH(int, titular);
    QFETCH(QString, quando);
    QFETCH(bool, valido);
    const certstore::Certificate c = listado(m_holders[titular]);
    const QDateTime data = quando == QLatin1String("agora")    ? QDateTime::currentDateTime()
                           : quando == QLatin1String("fim")    ? c.validUntil.toLocalTime()
                           : quando == QLatin1String("depois") ? c.validUntil.addSecs(1).toLocalTime()
                                                               : QDateTime();
    EscolhaCertificado::queueEscolha(m_holders[titular]);
    const ResultadoCertificado r = SelecionarCertificado(m_janela.get(), pedidoEntrega(data, true));
    QCOMPARE(r.certificadoValido, valido);
    const auto shown = messages();
    const auto offered = EscolhaCertificado::takeOferecidos();
    QCOMPARE(offered[0].titulo, QStringLiteral("Using CAPI to Select a certificate"));
    QCOMPARE(offered[0].texto, QStringLiteral("Select a certificate using CAPI"));
    if (valido) {
        // The accountant's e-CPF has a CRL distribution point, read without a message.
        QVERIFY(shown.isEmpty());
    } else {
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, invalido);
        QCOMPARE(shown[0].title, QStringLiteral("Tervalia - MG - Certificado Inválido"));
        QCOMPARE(shown[0].icon, QMessageBox::Critical);
    }
    QVERIFY(m_http->requests().isEmpty());
}

void SelecionarCertificadoTest::deliveryCancelKeepsTheFlag()
{
    EscolhaCertificado::queueCancelamento();
    QVERIFY(SelecionarCertificado(m_janela.get(), pedidoEntrega(QDateTime::currentDateTime(), true)).certificadoValido);
    EscolhaCertificado::queueCancelamento();
    QVERIFY(
        !SelecionarCertificado(m_janela.get(), pedidoEntrega(QDateTime::currentDateTime(), false)).certificadoValido);
    QVERIFY(messages().isEmpty());
}

void SelecionarCertificadoTest::deliveryDatabaseFailure()
{
    m_dir->removeFile(QStringLiteral("dipam.db"));
    EscolhaCertificado::queueEscolha(m_holders[1]);
    const ResultadoCertificado r = SelecionarCertificado(m_janela.get(), pedidoEntrega(QDateTime::currentDateTime()));
    QVERIFY(!r.certificadoValido);
    const auto shown = messages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, mensagemComponentes());
}

QTEST_MAIN(SelecionarCertificadoTest)
#include "SelecionarCertificadoTest.moc"
