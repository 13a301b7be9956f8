#include "HttpDouble.h"
#include "net/Soap.h"
#include "support/TestProgramDir.h"

#include <QCryptographicHash>
#include <QTest>

using namespace tervalia;
using test::HttpDouble;

class SoapExchangeTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { setSoapTimeoutForTests(0); }
    void requestIsExact();
    void addressIsReadAfreshEachCall();
    void answerComesBackAsText_data();
    void answerComesBackAsText();
    void unusableAddressOrServerFails_data();
    void unusableAddressOrServerFails();
    void silentServerEndsAtTimeLimit();
    void fiftyMegabyteAnswerArrivesWhole();
};

void SoapExchangeTest::requestIsExact()
{
    test::TestProgramDir dir;
    HttpDouble server;
    server.setAnswer(HttpDouble::answer("<ok/>"));
    dir.writeSettings(QStringLiteral("127.0.0.1"), server.port());
    const QString envelope = montaEnvelope(QStringLiteral("Transferencia.ver2"),
                                           {{QStringLiteral("strNome"), QStringLiteral("São João & Cia")}});

    QCOMPARE(EnviaSoap(QStringLiteral("Transferencia.ver2"), envelope), QStringLiteral("<ok/>"));
    QCOMPARE(EnviaSoap(QStringLiteral("Transferencia.ver2"), envelope), QStringLiteral("<ok/>"));

    QCOMPARE(server.connections(), 2); // nothing is kept from one call to the next
    QCOMPARE(server.requests().size(), 2);
    const HttpDouble::Request& request = server.requests().first();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.target, QByteArray("/ravu/server/index.php?wsdl"));
    QCOMPARE(request.headers.value("content-type"), QByteArray("text/xml"));
    QCOMPARE(request.headers.value("soapaction"), QByteArray("Transferencia.ver2"));
    QCOMPARE(request.body, envelope.toUtf8());
    QVERIFY(request.body.contains("S\xc3\xa3o Jo\xc3\xa3o &amp; Cia"));
}

void SoapExchangeTest::addressIsReadAfreshEachCall()
{
    test::TestProgramDir dir;
    dir.writeSettings(QStringLiteral("primeiro.example"), QStringLiteral("8080"));
    QCOMPARE(EnderecoServico(), QStringLiteral("http://primeiro.example:8080/ravu/server/index.php?wsdl"));
    dir.writeSettings(QStringLiteral("10.0.0.2"), QString());
    QCOMPARE(EnderecoServico(), QStringLiteral("http://10.0.0.2:/ravu/server/index.php?wsdl"));
}

void SoapExchangeTest::answerComesBackAsText_data()
{
    QTest::addColumn<QByteArray>("rawAnswer");
    QTest::addColumn<QString>("expected");

    QTest::newRow("utf-8 declared") << HttpDouble::answer("a\xc3\xa7\xc3\xa3o") << QStringLiteral("ação");
    QTest::newRow("no charset, utf-8") << HttpDouble::answer("a\xc3\xa7\xc3\xa3o", "text/xml")
                                       << QStringLiteral("ação");
    QTest::newRow("latin-1 declared") << HttpDouble::answer("a\xe7\xe3o", "text/xml; charset=ISO-8859-1")
                                      << QStringLiteral("ação");
    QTest::newRow("latin-1 undeclared keeps accents")
        << HttpDouble::answer("a\xe7\xe3o", "text/html") << QStringLiteral("ação");
    QTest::newRow("windows-1252 undeclared keeps dashes and the euro")
        << HttpDouble::answer("a\xe7\xe3o \x96 \x80 \x93x\x94", "text/html") << QStringLiteral("ação – € “x”");
    QTest::newRow("unknown charset read as utf-8")
        << HttpDouble::answer("a\xc3\xa7", "text/xml; charset=x-nada") << QStringLiteral("aç");
    QTest::newRow("error page is an answer")
        << HttpDouble::answer("<html>erro</html>", "text/html", "500 Erro") << QStringLiteral("<html>erro</html>");
    QTest::newRow("not found is an answer")
        << HttpDouble::answer("sem", "text/plain", "404 Not Found") << QStringLiteral("sem");
    QTest::newRow("bad request is an answer")
        << HttpDouble::answer("falha", "text/plain", "400 Bad Request") << QStringLiteral("falha");
    QTest::newRow("empty body") << HttpDouble::answer("") << QString();
    QTest::newRow("body up to the close")
        << QByteArray("HTTP/1.0 200 OK\r\nConnection: close\r\n\r\nfim") << QStringLiteral("fim");
}

void SoapExchangeTest::answerComesBackAsText()
{
    QFETCH(QByteArray, rawAnswer);
    QFETCH(QString, expected);

    test::TestProgramDir dir;
    HttpDouble server;
    server.setAnswer(rawAnswer);
    dir.writeSettings(QStringLiteral("127.0.0.1"), server.port());
    QCOMPARE(EnviaSoap(QStringLiteral("Transferencia.ver"), QStringLiteral("<x/>")), expected);
}

void SoapExchangeTest::unusableAddressOrServerFails_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port"); // "closed": a port on which nobody listens
    QTest::addColumn<int>("code");

    QTest::newRow("empty port") << "127.0.0.1"
                                << "" << int(QNetworkReply::ProtocolUnknownError);
    QTest::newRow("empty host") << ""
                                << "8080" << int(QNetworkReply::ProtocolUnknownError);
    QTest::newRow("port not a number") << "127.0.0.1"
                                       << "oito" << int(QNetworkReply::ProtocolUnknownError);
    QTest::newRow("port beyond 65535") << "127.0.0.1"
                                       << "99999" << int(QNetworkReply::ProtocolUnknownError);
    QTest::newRow("blank inside host") << "ser vidor"
                                       << "8080" << int(QNetworkReply::ProtocolUnknownError);
    QTest::newRow("nobody listening") << "127.0.0.1"
                                      << "closed" << int(QNetworkReply::ConnectionRefusedError);
}

void SoapExchangeTest::unusableAddressOrServerFails()
{
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(int, code);

    test::TestProgramDir dir;
    if (port == QLatin1String("closed")) {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = QString::number(probe.serverPort());
    }
    dir.writeSettings(host, port);
    try {
        EnviaSoap(QStringLiteral("Transferencia.ver2"), QStringLiteral("<x/>"));
        QFAIL("the call should have failed");
    } catch (const SoapError& error) {
        QCOMPARE(int(error.code()), code);
        QVERIFY(!error.description().isEmpty());
    }
}

void SoapExchangeTest::silentServerEndsAtTimeLimit()
{
    test::TestProgramDir dir;
    HttpDouble server;
    server.setSilent(true);
    dir.writeSettings(QStringLiteral("127.0.0.1"), server.port());
    setSoapTimeoutForTests(300);
    try {
        EnviaSoap(QStringLiteral("Transferencia.ver2"), QStringLiteral("<x/>"));
        QFAIL("the call should have ended at the time limit");
    } catch (const SoapError& error) {
        QVERIFY2(error.code() == QNetworkReply::OperationCanceledError || error.code() == QNetworkReply::TimeoutError,
                 qPrintable(QString::number(error.code())));
        QCOMPARE(error.description(), QStringLiteral("O servidor não respondeu dentro do tempo limite."));
    }
    QCOMPARE(server.requests().size(), 1);
}

void SoapExchangeTest::fiftyMegabyteAnswerArrivesWhole()
{
    const QByteArray content(50 * 1024 * 1024, 'x');
    const QByteArray body = "<E><B><R><return>" + content + "</return></R></B></E>";
    test::TestProgramDir dir;
    HttpDouble server;
    server.setAnswer(HttpDouble::answer(body));
    dir.writeSettings(QStringLiteral("127.0.0.1"), server.port());

    const QString answer = EnviaSoap(QStringLiteral("Transferencia.ver2"), QStringLiteral("<x/>"));
    QCOMPARE(answer.size(), body.size());
    bool failed = true;
    const QString result = GetResult(answer, QStringLiteral("return"), &failed);
    QVERIFY(!failed);
    QCOMPARE(result.size(), content.size());
    QCOMPARE(QCryptographicHash::hash(result.toLatin1(), QCryptographicHash::Sha1),
             QCryptographicHash::hash(content, QCryptographicHash::Sha1));
}

QTEST_GUILESS_MAIN(SoapExchangeTest)
#include "SoapExchangeTest.moc"
