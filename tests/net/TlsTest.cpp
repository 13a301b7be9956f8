// protocolo=https: the SOAP calls and the uploads against the stand-in server over TLS, with
// certificates made at test time. A certificate that fails verification stops the exchange before
// any request byte leaves, with its cause in Portuguese.
#include "HttpDouble.h"
#include "net/Servidor.h"
#include "net/Soap.h"
#include "net/Upload.h"
#include "platform/Pausa.h"
#include "support/StandInServer.h"
#include "support/TestCertificates.h"
#include "support/TestProgramDir.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <optional>

using namespace tervalia;

namespace {
const QString semente = QStringLiteral(TERVALIA_SOURCE_DIR "/tools/server/demo-seed.json");
const QString ieRestaurante = QStringLiteral("7025551230008");
const QString chaveRestaurante = QStringLiteral("R2D5L6YB");
const QString autoridadeDesconhecida =
    QStringLiteral("O certificado do servidor foi emitido por uma autoridade desconhecida.");

QString historico()
{
    namespace h = servidor::historico;
    const QLatin1StringView op = servidor::operacao::historico;
    return EnviaSoap(op, montaEnvelope(op, {{h::paramNome, ieRestaurante},
                                            {h::paramDiretorio, h::diretorio},
                                            {h::paramChave, chaveRestaurante}}));
}

// The SOAP failure's description, empty when the call was answered.
QString falhaSoap()
{
    try {
        historico();
    } catch (const SoapError& e) {
        return e.seguranca() ? e.description() : QStringLiteral("(sem seguranca) ") + e.description();
    }
    return {};
}

// One Simples Nacional upload to the address the settings give.
struct Envio
{
    InicioUpload inicio;
    QString erro;
    std::optional<RespostaUpload> resposta;
};

void envia(const test::TestProgramDir& dir, Envio& envio)
{
    dir.writeFile(QStringLiteral("extrato.pdf"), "%PDF-1.4\n1 0 obj << >> endobj\n%%EOF\n");
    Upload upload(OpcoesUpload::simplesNacional());
    QObject::connect(&upload, &Upload::erroSocket, [&](const QString& d) { envio.erro = d; });
    QObject::connect(&upload, &Upload::respostaConcluida, [&](const RespostaUpload& r) { envio.resposta = r; });
    upload.setCertificadoValido(true);
    const PedidoUpload pedido = pedidoUpload(
        EnderecoUpload(servidor::caminhoUploadSimples, QStringLiteral("123.456.789-09"), chaveRestaurante, {}),
        dir.file(QStringLiteral("extrato.pdf")), QStringLiteral("extrato.pdf"));
    envio.inicio = upload.iniciar(pedido);
    if (envio.inicio.iniciado())
        QTRY_VERIFY_WITH_TIMEOUT(envio.resposta || !envio.erro.isEmpty(), 20000);
}

// A plain TCP listener that keeps every byte it receives and answers in plain HTTP.
struct Gravador
{
    QTcpServer servidor;
    QByteArray recebido;
    int conexoes = 0;

    Gravador()
    {
        test::HttpDouble::listenBelow32768(servidor);
        QObject::connect(&servidor, &QTcpServer::newConnection, [this] {
            QTcpSocket* s = servidor.nextPendingConnection();
            ++conexoes;
            QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                recebido += s->readAll();
                s->write("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                s->disconnectFromHost();
            });
        });
    }
    QString porta() const { return QString::number(servidor.serverPort()); }
};
} // namespace

class TlsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { setPausaParaTestes({}); }
    void verificacao_data();
    void verificacao();
    void servidorSemTls();
    void configuracao_data();
    void configuracao();

private:
    std::unique_ptr<test::TestCertificates> m_ac;
    std::unique_ptr<test::TestCertificates> m_outraAc;
    QMap<QString, test::TestCertificates::Pem> m_servidor;
    QString m_acDer;
};

void TlsTest::initTestCase()
{
    setPausaParaTestes([](int) {});
    m_ac = std::make_unique<test::TestCertificates>();
    m_outraAc = std::make_unique<test::TestCertificates>();
    const QDateTime agora = QDateTime::currentDateTimeUtc();
    const QString local = QStringLiteral("DNS:localhost,IP:127.0.0.1");
    m_servidor[QStringLiteral("bom")] = m_ac->makeServerPem(local, agora.addDays(-1), agora.addYears(1));
    m_servidor[QStringLiteral("outro nome")] =
        m_ac->makeServerPem(QStringLiteral("DNS:ostare.example"), agora.addDays(-1), agora.addYears(1));
    m_servidor[QStringLiteral("vencido")] = m_ac->makeServerPem(local, agora.addYears(-2), agora.addDays(-1));
    m_servidor[QStringLiteral("futuro")] = m_ac->makeServerPem(local, agora.addDays(2), agora.addYears(1));
    m_servidor[QStringLiteral("outra autoridade")] =
        m_outraAc->makeServerPem(local, agora.addDays(-1), agora.addYears(1));
    const QString base = m_ac->dir() + QStringLiteral("/autoassinado");
    const auto openssl = [](const QString& args) { test::TestCertificates::run("openssl", args.split(u' ')); };
    openssl(QStringLiteral("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 30 -subj "
                           "/CN=servidor -addext subjectAltName=%1 -keyout %2.key -out %2.pem")
                .arg(local, base));
    m_servidor[QStringLiteral("autoassinado")] = {base + QStringLiteral(".key"), base + QStringLiteral(".pem")};
    m_acDer = m_ac->dir() + QStringLiteral("/ac.der");
    openssl(QStringLiteral("x509 -outform DER -in %1 -out %2").arg(m_ac->authority(), m_acDer));
}

void TlsTest::verificacao_data()
{
    QTest::addColumn<QString>("certificado"); // of the server
    QTest::addColumn<QString>("confianca");   // certificado_servidor: pem, der, relativo, nenhum, outra
    QTest::addColumn<QString>("esperado");    // empty: the call and the upload succeed

    QTest::newRow("autoridade fixada (PEM)") << "bom"
                                             << "pem"
                                             << "";
    QTest::newRow("autoridade fixada (DER)") << "bom"
                                             << "der"
                                             << "";
    QTest::newRow("caminho relativo à pasta do programa") << "bom"
                                                          << "relativo"
                                                          << "";
    QTest::newRow("sem certificado_servidor: só as do sistema") << "bom"
                                                                << "nenhum" << autoridadeDesconhecida;
    QTest::newRow("outra autoridade fixada") << "bom"
                                             << "outra" << autoridadeDesconhecida;
    QTest::newRow("emitido por outra autoridade") << "outra autoridade"
                                                  << "pem" << autoridadeDesconhecida;
    QTest::newRow("nome de outro servidor") << "outro nome"
                                            << "pem"
                                            << "O certificado do servidor não pertence a 127.0.0.1.";
    QTest::newRow("vencido") << "vencido"
                             << "pem"
                             << "O certificado do servidor está vencido.";
    QTest::newRow("ainda não válido")
        << "futuro"
        << "pem"
        << "O certificado do servidor ainda não é válido (confira a data deste computador).";
    QTest::newRow("autoassinado") << "autoassinado"
                                  << "pem"
                                  << "O certificado do servidor é autoassinado, sem uma autoridade confiável.";
}

// The whole flow of a delivery over TLS: the history, the upload, and the new protocol in the next
// history; or, for a certificate that fails, the cause and no request served.
void TlsTest::verificacao()
{
    QFETCH(QString, certificado);
    QFETCH(QString, confianca);
    QFETCH(QString, esperado);
    const test::TestCertificates::Pem pem = m_servidor.value(certificado);
    test::StandInServer servidor(
        {QStringLiteral("--seed"), semente, QStringLiteral("--tls"), pem.certificate, pem.key});
    test::TestProgramDir dir;
    QFile::copy(m_ac->authority(), dir.file(QStringLiteral("prefeitura.pem")));
    const QMap<QString, QString> arquivos{{QStringLiteral("pem"), m_ac->authority()},
                                          {QStringLiteral("der"), m_acDer},
                                          {QStringLiteral("relativo"), QStringLiteral("prefeitura.pem")},
                                          {QStringLiteral("outra"), m_outraAc->authority()}};
    QStringList extra{QStringLiteral("protocolo=https")};
    if (arquivos.contains(confianca))
        extra << QStringLiteral("certificado_servidor=") + arquivos.value(confianca);
    dir.writeSettings(QStringLiteral("127.0.0.1"), QString::number(servidor.port()), extra);

    QCOMPARE(falhaSoap(), esperado);
    Envio envio;
    envia(dir, envio);
    if (!esperado.isEmpty()) {
        QCOMPARE(envio.inicio.resultado, InicioUpload::Resultado::ConexaoFalhou);
        QCOMPARE(envio.erro, esperado);
        QVERIFY(!envio.resposta);
        QCOMPARE(servidor.log(), QStringList()); // not one request reached the server
        return;
    }
    QVERIFY2(envio.resposta, qPrintable(envio.erro));
    QVERIFY(envio.resposta->endereco.startsWith(QStringLiteral("https://127.0.0.1:")));
    const QString texto = envio.resposta->texto;
    const qsizetype at = texto.indexOf(servidor::marcaProtocolo);
    QVERIFY2(at >= 0, qPrintable(texto));
    const QString protocolo = texto.mid(at + servidor::marcaProtocolo.size()).trimmed().left(10);
    QVERIFY2(historico().contains(protocolo), qPrintable(protocolo));
}

// A server that answers in plain HTTP: the wire carries the TLS greeting, never the request.
void TlsTest::servidorSemTls()
{
    Gravador gravador;
    test::TestProgramDir dir;
    dir.writeSettings(QStringLiteral("127.0.0.1"), gravador.porta(), {QStringLiteral("protocolo=https")});
    const QString causa = QStringLiteral("O servidor não estabeleceu a conexão segura (https)");
    const QString falha = falhaSoap();
    QVERIFY2(falha.startsWith(causa), qPrintable(falha));
    Envio envio;
    envia(dir, envio);
    QVERIFY2(envio.erro.startsWith(causa), qPrintable(envio.erro));
    QCOMPARE(gravador.conexoes, 2);
    QCOMPARE(gravador.recebido.at(0), '\x16'); // a TLS handshake record
    QVERIFY(!gravador.recebido.contains("POST"));
    QVERIFY(!gravador.recebido.contains("Transferencia"));
}

void TlsTest::configuracao_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QString>("esperado"); // %1: the program directory

    QTest::newRow("protocolo desconhecido")
        << QStringList{QStringLiteral("protocolo=htps")}
        << "O protocolo \"htps\" da seção [servidor] de dipam.ini (protocolo=) não é conhecido; use http ou https. "
           "Nada foi enviado.";
    QTest::newRow("arquivo ausente")
        << QStringList{QStringLiteral("protocolo=https"), QStringLiteral("certificado_servidor=falta.pem")}
        << "O certificado do servidor indicado em dipam.ini (certificado_servidor=%1/falta.pem) não foi encontrado. "
           "Nada foi enviado.";
    QTest::newRow("arquivo sem certificado")
        << QStringList{QStringLiteral("protocolo=HTTPS"), QStringLiteral("certificado_servidor=info.dip")}
        << "O certificado do servidor indicado em dipam.ini (certificado_servidor=%1/info.dip) não contém um "
           "certificado válido (PEM ou DER). Nada foi enviado.";
}

// A setting that asks for what cannot be done refuses the call and the upload before connecting.
void TlsTest::configuracao()
{
    QFETCH(QStringList, extra);
    QFETCH(QString, esperado);
    Gravador gravador;
    test::TestProgramDir dir;
    dir.writeSettings(QStringLiteral("127.0.0.1"), gravador.porta(), extra);
    esperado.replace(QStringLiteral("%1"), dir.path());
    QCOMPARE(falhaSoap(), esperado);
    Envio envio;
    envia(dir, envio);
    QCOMPARE(envio.inicio.resultado, InicioUpload::Resultado::SemConexaoSegura);
    QCOMPARE(envio.inicio.mensagem, esperado);
    QCOMPARE(gravador.conexoes, 0);
}

QTEST_GUILESS_MAIN(TlsTest)
#include "TlsTest.moc"
