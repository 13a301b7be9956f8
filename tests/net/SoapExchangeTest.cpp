#include "HttpDouble.h"
#include "net/Soap.h"
#include "support/TestProgramDir.h"

#include <QCryptographicHash>
#include <QSignalSpy>
#include <QTest>

using namespace tervalia;
using test::HttpDouble;

class SoapExchangeTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void requestIsExact();
    void addressIsReadAfreshEachCall();
    void answerComesBackAsText_data();
    void answerComesBackAsText();
    void unusableAddressOrServerFails_data();
    void unusableAddressOrServerFails();
    void silentServerEndsAtTimeLimit();
    void fiftyMegabyteAnswerArrivesWhole();
    void hostileServerIsAskedOnce_data();
    void hostileServerIsAskedOnce();
    void tricklingAnswerEndsAtDeadline();
    void answerByLengthDoesNotWaitForTheClose();
    void answerLimit_data();
    void answerLimit();
    void hundredMegabytesStopAtTheBound();
};

namespace {
constexpr int arrives = -1; // the call returns the answer text

// What the stand-in server sends for a call it refuses: a SOAP fault with status 500.
QByteArray soapFault()
{
    return HttpDouble::answer("<?xml version=\"1.0\" encoding=\"UTF-8\"?><env:Envelope "
                              "xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\"><env:Body><env:Fault><env:Code>"
                              "<env:Value>env:Sender</env:Value></env:Code><env:Reason><env:Text xml:lang=\"pt\">"
                              "envelope ilegível</env:Text></env:Reason></env:Fault></env:Body></env:Envelope>",
                              "application/soap+xml; charset=utf-8", "500 Internal Server Error");
}

QByteArray soapAnswer(const QByteArray& result)
{
    return "<E><B><R><return>" + result + "</return></R></B></E>";
}

QByteArray entityBomb()
{
    QByteArray laughs = "<!DOCTYPE E [<!ENTITY a0 \"ha\">";
    for (int i = 1; i < 10; ++i)
        laughs += "<!ENTITY a" + QByteArray::number(i) + " \"" + ("&a" + QByteArray::number(i - 1) + ";").repeated(10) +
                  "\">";
    return laughs + "]>" + soapAnswer("&a9;");
}

QByteArray nested(int levels)
{
    return QByteArray("<a>").repeated(levels) + QByteArray("</a>").repeated(levels);
}

QString callFails(int* code)
{
    try {
        EnviaSoap(QStringLiteral("Transferencia.ver2"), QStringLiteral("<x/>"));
    } catch (const SoapError& error) {
        *code = error.code();
        return error.description();
    }
    *code = arrives;
    return {};
}
} // namespace

void SoapExchangeTest::cleanup()
{
    setSoapTimeoutForTests(0);
    setSoapDeadlineForTests(0);
    setSoapMaxAnswerForTests(0);
}

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

    // The call that does not wait sends the same request.
    ChamadaSoap chamada(QStringLiteral("Transferencia.ver2"), envelope);
    QSignalSpy respondida(&chamada, &ChamadaSoap::respondida);
    chamada.iniciar();
    QTRY_COMPARE(respondida.size(), 1);
    QCOMPARE(respondida[0][0].toString(), QStringLiteral("<ok/>"));
    QCOMPARE(server.requests().size(), 3);
    QCOMPARE(server.requests()[2].headers, server.requests()[0].headers);
    QCOMPARE(server.requests()[2].body, server.requests()[0].body);

    QCOMPARE(server.connections(), 3); // nothing is kept from one call to the next
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
    QTest::addColumn<QString>("description");

    const QString undefined = QStringLiteral("O endereço do servidor (host e port) não está definido em dipam.ini.");
    const QString invalid = QStringLiteral("O endereço do servidor em dipam.ini é inválido: ");
    QTest::newRow("empty port") << "127.0.0.1"
                                << "" << int(QNetworkReply::ProtocolUnknownError) << undefined;
    QTest::newRow("empty host") << ""
                                << "8080" << int(QNetworkReply::ProtocolUnknownError) << undefined;
    QTest::newRow("port not a number") << "127.0.0.1"
                                       << "oito" << int(QNetworkReply::ProtocolUnknownError)
                                       << invalid + "http://127.0.0.1:oito/ravu/server/index.php?wsdl";
    QTest::newRow("port beyond 65535") << "127.0.0.1"
                                       << "99999" << int(QNetworkReply::ProtocolUnknownError)
                                       << invalid + "http://127.0.0.1:99999/ravu/server/index.php?wsdl";
    QTest::newRow("blank inside host") << "ser vidor"
                                       << "8080" << int(QNetworkReply::ProtocolUnknownError)
                                       << invalid + "http://ser vidor:8080/ravu/server/index.php?wsdl";
    QTest::newRow("nobody listening") << "127.0.0.1"
                                      << "closed" << int(QNetworkReply::ConnectionRefusedError)
                                      << "O servidor recusou a conexão.";
}

void SoapExchangeTest::unusableAddressOrServerFails()
{
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(int, code);
    QFETCH(QString, description);

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
        QCOMPARE(error.description(), description);
    }
    // The call that does not wait fails alike, and says so from the event loop only.
    ChamadaSoap chamada(QStringLiteral("Transferencia.ver2"), QStringLiteral("<x/>"));
    QSignalSpy falhou(&chamada, &ChamadaSoap::falhou);
    chamada.iniciar();
    QCOMPARE(falhou.size(), 0);
    QTRY_COMPARE(falhou.size(), 1);
    QCOMPARE(falhou[0][0].toString(), description);
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

// Whatever a server does with the request, it is sent once, on one connection: nothing is resent
// behind the caller's back. What comes back is either text for GetResult to judge or a failure.
void SoapExchangeTest::hostileServerIsAskedOnce_data()
{
    QTest::addColumn<QByteArray>("rawAnswer");
    QTest::addColumn<int>("code"); // arrives: the call returns the answer
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("readable"); // what GetResult makes of an answer that arrives

    const QString cutOff = QStringLiteral("O servidor encerrou a conexão antes de completar a resposta.");
    const QString notHttp = QStringLiteral("O servidor enviou uma resposta que não é HTTP.");
    const int closed = QNetworkReply::RemoteHostClosedError;
    const int protocol = QNetworkReply::ProtocolFailure;

    QTest::newRow("error page") << HttpDouble::answer("<html><body>500</body></html>", "text/html", "500 Erro")
                                << arrives << QString() << false;
    QTest::newRow("soap fault") << soapFault() << arrives << QString() << false;
    QTest::newRow("cut-off envelope") << HttpDouble::answer(soapAnswer("ok").chopped(9)) << arrives << QString()
                                      << false;
    QTest::newRow("entity bomb") << HttpDouble::answer(entityBomb()) << arrives << QString() << false;
    QTest::newRow("100,000 nested elements")
        << HttpDouble::answer("<E><B><R><return>x</return>" + nested(100000) + "</R></B></E>") << arrives << QString()
        << false;
    QTest::newRow("chunked") << HttpDouble::chunkedAnswer(soapAnswer("em partes"), 7) << arrives << QString() << true;
    QTest::newRow("interim answer first")
        << "HTTP/1.1 100 Continue\r\n\r\n" + HttpDouble::answer(soapAnswer("depois")) << arrives << QString() << true;
    QTest::newRow("no answer, connection dropped")
        << QByteArray() << closed << QStringLiteral("O servidor encerrou a conexão antes de responder.") << false;
    QTest::newRow("body cut off") << HttpDouble::answer(soapAnswer("ok")).chopped(5) << closed << cutOff << false;
    QTest::newRow("head cut off") << QByteArray("HTTP/1.1 200 OK\r\nContent-Ty") << closed << cutOff << false;
    QTest::newRow("garbage") << QByteArray("\x01\x7f lixo \xff\r\n\r\nmais lixo") << protocol << notHttp << false;
    QTest::newRow("header without colon")
        << QByteArray("HTTP/1.1 200 OK\r\nsem dois pontos\r\n\r\n") << protocol << notHttp << false;
    QTest::newRow("conflicting lengths") << QByteArray(
                                                "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nabc")
                                         << protocol << notHttp << false;
    QTest::newRow("length not a number") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\nabc") << protocol
                                         << notHttp << false;
    QTest::newRow("chunk size not hexadecimal")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n0\r\n\r\n") << protocol
        << notHttp << false;
    QTest::newRow("head over 64 KiB") << "HTTP/1.1 200 OK\r\nX-Longo: " + QByteArray(70 * 1024, 'a') + "\r\n\r\n"
                                      << protocol << notHttp << false;
}

void SoapExchangeTest::hostileServerIsAskedOnce()
{
    QFETCH(QByteArray, rawAnswer);
    QFETCH(int, code);
    QFETCH(QString, description);
    QFETCH(bool, readable);

    test::TestProgramDir dir;
    HttpDouble server;
    server.setAnswer(rawAnswer);
    dir.writeSettings(QStringLiteral("127.0.0.1"), server.port());
    const QString envelope = montaEnvelope(QStringLiteral("Transferencia.ver2"), {{QStringLiteral("strNome"), "1"}});
    int failure = 0;
    QString answer;
    try {
        answer = EnviaSoap(QStringLiteral("Transferencia.ver2"), envelope);
        failure = arrives;
    } catch (const SoapError& error) {
        failure = error.code();
        QCOMPARE(error.description(), description);
    }
    QCOMPARE(failure, code);
    if (code == arrives) {
        bool failed = true;
        GetResult(answer, QStringLiteral("return"), &failed);
        QCOMPARE(!failed, readable);
    }
    QCOMPARE(server.connections(), 1);
    QCOMPARE(server.requests().size(), 1);
    QCOMPARE(server.requests().first().body, envelope.toUtf8());
}

// A server that never goes silent long enough for the silence limit still cannot hold the call
// beyond its deadline.
void SoapExchangeTest::tricklingAnswerEndsAtDeadline()
{
    test::TestProgramDir dir;
    HttpDouble server;
    server.setAnswer(HttpDouble::answer(soapAnswer(QByteArray(400, 'x'))));
    server.setDrip(10);
    dir.writeSettings(QStringLiteral("127.0.0.1"), server.port());
    setSoapTimeoutForTests(5000);
    setSoapDeadlineForTests(300);
    int code = 0;
    QCOMPARE(callFails(&code), QStringLiteral("O servidor não completou a resposta dentro do tempo limite."));
    QCOMPARE(code, int(QNetworkReply::TimeoutError));
    QCOMPARE(server.requests().size(), 1);
}

// A server (QHttpServer, for one) may keep the connection open after an
// answer of known length: the call ends with the last byte, not at a time limit.
void SoapExchangeTest::answerByLengthDoesNotWaitForTheClose()
{
    test::TestProgramDir dir;
    HttpDouble server;
    server.setAnswer(HttpDouble::answer(soapAnswer("inteira")));
    server.setKeepOpen(true);
    dir.writeSettings(QStringLiteral("127.0.0.1"), server.port());
    setSoapTimeoutForTests(5000);
    setSoapDeadlineForTests(5000);
    QCOMPARE(EnviaSoap(QStringLiteral("Transferencia.ver2"), QStringLiteral("<x/>")),
             QString::fromLatin1(soapAnswer("inteira")));
}

void SoapExchangeTest::answerLimit_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<qint64>("endless"); // bytes written after the head
    QTest::addColumn<bool>("fits");

    const qint64 limit = 1024 * 1024;
    QTest::newRow("exactly the limit, by length")
        << "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(limit) + "\r\n\r\n"
        << limit << true;
    QTest::newRow("exactly the limit, up to the close") << QByteArray("HTTP/1.0 200 OK\r\n\r\n") << limit << true;
    // Refused from the head alone: the body is never waited for.
    QTest::newRow("length over the limit")
        << "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(limit + 1) + "\r\n\r\n"
        << qint64(0) << false;
    QTest::newRow("up to the close, over the limit") << QByteArray("HTTP/1.0 200 OK\r\n\r\n") << 3 * limit << false;
    QTest::newRow("chunk over the limit")
        << "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + QByteArray::number(limit + 1, 16) + "\r\n"
        << 3 * limit << false;
}

void SoapExchangeTest::answerLimit()
{
    QFETCH(QByteArray, head);
    QFETCH(qint64, endless);
    QFETCH(bool, fits);

    test::TestProgramDir dir;
    HttpDouble server;
    server.setAnswer(head);
    server.setEndlessBody(endless);
    server.setKeepOpen(endless == 0); // only the head comes, and the call must not wait for more
    dir.writeSettings(QStringLiteral("127.0.0.1"), server.port());
    setSoapMaxAnswerForTests(1024 * 1024);
    setSoapTimeoutForTests(5000);
    int code = 0;
    const QString description = callFails(&code);
    if (fits) {
        QCOMPARE(code, arrives);
    } else {
        QCOMPARE(description, QStringLiteral("A resposta do servidor passa de 1 MB e não foi lida."));
        QCOMPARE(code, int(QNetworkReply::UnknownContentError));
    }
}

// A server pouring out 100 MB: the call gives up at 64 MB, long before the server is done.
void SoapExchangeTest::hundredMegabytesStopAtTheBound()
{
    const qint64 hundred = 100 * 1024 * 1024;
    test::TestProgramDir dir;
    HttpDouble server;
    server.setAnswer("HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n");
    server.setEndlessBody(hundred);
    dir.writeSettings(QStringLiteral("127.0.0.1"), server.port());
    int code = 0;
    QCOMPARE(callFails(&code), QStringLiteral("A resposta do servidor passa de 64 MB e não foi lida."));
    QCOMPARE(code, int(QNetworkReply::UnknownContentError));
    QVERIFY2(server.endlessWritten() < hundred, qPrintable(QString::number(server.endlessWritten())));
    QCOMPARE(server.requests().size(), 1);
}

QTEST_GUILESS_MAIN(SoapExchangeTest)
#include "SoapExchangeTest.moc"
