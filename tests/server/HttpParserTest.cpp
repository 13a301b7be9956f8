#include "server/HttpRequest.h"

#include <QTest>

using namespace tervalia::standin;

namespace {

// Small limits so that the refusals are quick to provoke.
const HttpLimits testLimits{4096, 20, 100};

HttpRequestParser::State feedWhole(HttpRequestParser& parser, const QByteArray& raw)
{
    return parser.feed(raw);
}

HttpRequestParser::State feedByteByByte(HttpRequestParser& parser, const QByteArray& raw)
{
    HttpRequestParser::State state = HttpRequestParser::State::NeedMore;
    for (char c : raw)
        state = parser.feed(QByteArrayView(&c, 1));
    return state;
}

} // namespace

class HttpParserTest : public QObject
{
    Q_OBJECT

private slots:
    void readsRequest_data();
    void readsRequest();
    void refusesBadRequest_data();
    void refusesBadRequest();
    void waitsForTheWholeBody();
    void defaultLimitsTakeLargeUploadsButNotHugeOnes();
    void readsQuery_data();
    void readsQuery();
};

void HttpParserTest::readsRequest_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<QByteArray>("soapAction");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("SOAP call over HTTP/1.1")
        << QByteArray("POST /ravu/server/index.php?wsdl HTTP/1.1\r\nHost: 127.0.0.1:8080\r\nContent-Type: text/xml\r\n"
                      "SOAPAction: Transferencia.ver2\r\nContent-Length: 5\r\n\r\nhello")
        << QByteArray("POST") << QByteArray("/ravu/server/index.php") << QByteArray("wsdl") << QByteArray("HTTP/1.1")
        << QByteArray("Transferencia.ver2") << QByteArray("hello");
    QTest::newRow("upload over HTTP/1.0 as the client writes it")
        << QByteArray("POST /client/xt_upload.php?contador=1&chave=2&gias= HTTP/1.0\r\nHost: h\r\n"
                      "Content-Type: multipart/form-data, boundary=B\r\nContent-Length: 3\r\n\r\nabc")
        << QByteArray("POST") << QByteArray("/client/xt_upload.php") << QByteArray("contador=1&chave=2&gias=")
        << QByteArray("HTTP/1.0") << QByteArray() << QByteArray("abc");
    QTest::newRow("empty query after the question mark")
        << QByteArray("POST /client/xt_upload.php? HTTP/1.0\r\nContent-Length: 0\r\n\r\n") << QByteArray("POST")
        << QByteArray("/client/xt_upload.php") << QByteArray() << QByteArray("HTTP/1.0") << QByteArray()
        << QByteArray();
    QTest::newRow("bare line feeds") << QByteArray("GET /protocoloDown.php?IE=1 HTTP/1.0\nHost: h\n\n")
                                     << QByteArray("GET") << QByteArray("/protocoloDown.php") << QByteArray("IE=1")
                                     << QByteArray("HTTP/1.0") << QByteArray() << QByteArray();
    QTest::newRow("blank line before the request line")
        << QByteArray("\r\nGET / HTTP/1.1\r\n\r\n") << QByteArray("GET") << QByteArray("/") << QByteArray()
        << QByteArray("HTTP/1.1") << QByteArray() << QByteArray();
    QTest::newRow("header names in any case")
        << QByteArray("POST /x HTTP/1.1\r\ncontent-length: 2\r\nsoapaction:   \"Transferencia.ver\"  \r\n\r\nok")
        << QByteArray("POST") << QByteArray("/x") << QByteArray() << QByteArray("HTTP/1.1")
        << QByteArray("\"Transferencia.ver\"") << QByteArray("ok");
    QTest::newRow("absolute target") << QByteArray("GET http://127.0.0.1:8080/protocoloDown.php?IE=1 HTTP/1.1\r\n\r\n")
                                     << QByteArray("GET") << QByteArray("/protocoloDown.php") << QByteArray("IE=1")
                                     << QByteArray("HTTP/1.1") << QByteArray() << QByteArray();
    QTest::newRow("binary body with blank lines inside")
        << QByteArray("POST /x HTTP/1.0\r\nContent-Length: 7\r\n\r\n") + QByteArray("\r\n\r\n\0\xff\n", 7)
        << QByteArray("POST") << QByteArray("/x") << QByteArray() << QByteArray("HTTP/1.0") << QByteArray()
        << QByteArray("\r\n\r\n\0\xff\n", 7);
    QTest::newRow("single-byte letters in the query")
        << QByteArray("GET /p?nome=S\xe3o HTTP/1.0\r\n\r\n") << QByteArray("GET") << QByteArray("/p")
        << QByteArray("nome=S\xe3o") << QByteArray("HTTP/1.0") << QByteArray() << QByteArray();
    QTest::newRow("bytes after the announced body are not part of it")
        << QByteArray("POST /x HTTP/1.1\r\nContent-Length: 2\r\n\r\nokGET / HTTP/1.1\r\n\r\n") << QByteArray("POST")
        << QByteArray("/x") << QByteArray() << QByteArray("HTTP/1.1") << QByteArray() << QByteArray("ok");
}

void HttpParserTest::readsRequest()
{
    QFETCH(QByteArray, raw);
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, version);
    QFETCH(QByteArray, soapAction);
    QFETCH(QByteArray, body);

    for (auto feed : {feedWhole, feedByteByByte}) {
        HttpRequestParser parser(testLimits);
        QCOMPARE(feed(parser, raw), HttpRequestParser::State::Complete);
        const HttpRequest& r = parser.request();
        QCOMPARE(r.method, method);
        QCOMPARE(r.path(), path);
        QCOMPARE(r.query(), query);
        QCOMPARE(r.version, version);
        QCOMPARE(r.header("SOAPAction"), soapAction);
        QCOMPARE(r.body, body);
    }
}

void HttpParserTest::refusesBadRequest_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<int>("status");

    QTest::newRow("no version") << QByteArray("GET /\r\n\r\n") << 400;
    QTest::newRow("HTTP/2.0") << QByteArray("GET / HTTP/2.0\r\n\r\n") << 400;
    QTest::newRow("empty target") << QByteArray("GET  HTTP/1.1\r\n\r\n") << 400;
    QTest::newRow("binary garbage") << QByteArray("\x16\x03\x01\x02\x00\x01\n\n", 8) << 400;
    QTest::newRow("control character in the target") << QByteArray("GET /a\x01z HTTP/1.1\r\n\r\n") << 400;
    QTest::newRow("header without colon") << QByteArray("GET / HTTP/1.1\r\nHost h\r\n\r\n") << 400;
    QTest::newRow("blank before the colon") << QByteArray("GET / HTTP/1.1\r\nHost : h\r\n\r\n") << 400;
    QTest::newRow("folded header") << QByteArray("GET / HTTP/1.1\r\nX: a\r\n b\r\n\r\n") << 400;
    QTest::newRow("length not a number") << QByteArray("POST / HTTP/1.1\r\nContent-Length: abc\r\n\r\n") << 400;
    QTest::newRow("negative length") << QByteArray("POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n") << 400;
    QTest::newRow("length with a sign") << QByteArray("POST / HTTP/1.1\r\nContent-Length: +5\r\n\r\nhello") << 400;
    QTest::newRow("two different lengths")
        << QByteArray("POST / HTTP/1.1\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nabc") << 400;
    QTest::newRow("length of 19 digits") << QByteArray("POST / HTTP/1.1\r\nContent-Length: 1000000000000000000\r\n\r\n")
                                         << 400;
    QTest::newRow("chunked body") << QByteArray("POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n")
                                  << 400;
    QTest::newRow("POST without length") << QByteArray("POST / HTTP/1.0\r\n\r\nabc") << 400;
    QTest::newRow("body over the limit") << QByteArray("POST / HTTP/1.0\r\nContent-Length: 101\r\n\r\n") << 413;
    QTest::newRow("header over the limit") << ("GET / HTTP/1.1\r\nX: " + QByteArray(5000, 'a') + "\r\n\r\n") << 400;
    QTest::newRow("line without end over the limit") << QByteArray(5000, 'G') << 400;
    QByteArray many("GET / HTTP/1.1\r\n");
    for (int i = 0; i < 21; ++i)
        many += "X" + QByteArray::number(i) + ": 1\r\n";
    QTest::newRow("too many headers") << many + "\r\n" << 400;
}

void HttpParserTest::refusesBadRequest()
{
    QFETCH(QByteArray, raw);
    QFETCH(int, status);

    for (auto feed : {feedWhole, feedByteByByte}) {
        HttpRequestParser parser(testLimits);
        QCOMPARE(feed(parser, raw), HttpRequestParser::State::Failed);
        QCOMPARE(parser.errorStatus(), status);
        QVERIFY(!parser.errorReason().isEmpty());
        // Once failed, further bytes change nothing.
        QCOMPARE(parser.feed("GET / HTTP/1.1\r\n\r\n"), HttpRequestParser::State::Failed);
    }
}

void HttpParserTest::waitsForTheWholeBody()
{
    HttpRequestParser parser(testLimits);
    QCOMPARE(parser.feed("POST /x HTTP/1.0\r\nContent-Length: 10\r\n\r\n01234"), HttpRequestParser::State::NeedMore);
    QVERIFY(parser.headComplete());
    QCOMPARE(parser.feed("5678"), HttpRequestParser::State::NeedMore);
    QCOMPARE(parser.feed("9"), HttpRequestParser::State::Complete);
    QCOMPARE(parser.request().body, QByteArray("0123456789"));
}

void HttpParserTest::defaultLimitsTakeLargeUploadsButNotHugeOnes()
{
    const QByteArray body(4 * 1024 * 1024, 'x');
    HttpRequestParser large;
    QCOMPARE(large.feed("POST /client/xt_upload.php? HTTP/1.0\r\nContent-Length: " + QByteArray::number(body.size()) +
                        "\r\n\r\n" + body),
             HttpRequestParser::State::Complete);
    QCOMPARE(large.request().body.size(), body.size());

    // Refused from the header alone, before any of the body is buffered.
    HttpRequestParser huge;
    QCOMPARE(huge.feed("POST /client/xt_upload.php? HTTP/1.0\r\nContent-Length: 68719476736\r\n\r\n"),
             HttpRequestParser::State::Failed);
    QCOMPARE(huge.errorStatus(), 413);
}

void HttpParserTest::readsQuery_data()
{
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("values");

    QTest::newRow("upload query") << QByteArray("contador=123.456.789-00&chave=K7M2Q9TX&gias=")
                                  << QStringList{"contador", "chave", "gias"}
                                  << QStringList{"123.456.789-00", "K7M2Q9TX", ""};
    QTest::newRow("documents separated by commas")
        << QByteArray("gias=101,102,103") << QStringList{"gias"} << QStringList{"101,102,103"};
    QTest::newRow("receipt with a slash as sent")
        << QByteArray("IE=7001234500028&key=K7M2Q9TX&ref=2024/2025") << QStringList{"IE", "key", "ref"}
        << QStringList{"7001234500028", "K7M2Q9TX", "2024/2025"};
    QTest::newRow("encoded slash") << QByteArray("ref=2024%2F2025") << QStringList{"ref"} << QStringList{"2024/2025"};
    QTest::newRow("single-byte code page")
        << QByteArray("nome=S\xe3o") << QStringList{"nome"} << QStringList{QString::fromUtf8("São")};
    QTest::newRow("Windows-1252 dash, euro and quotes")
        << QByteArray("nome=Caf\xe9\x96\x80\x93x\x94") << QStringList{"nome"}
        << QStringList{QString::fromUtf8("Café–€“x”")};
    QTest::newRow("encoded UTF-8") << QByteArray("nome=S%C3%A3o") << QStringList{"nome"}
                                   << QStringList{QString::fromUtf8("São")};
    QTest::newRow("empty query") << QByteArray() << QStringList() << QStringList();
    QTest::newRow("names without values") << QByteArray("a&&b=") << QStringList{"a", "b"} << QStringList{"", ""};
}

void HttpParserTest::readsQuery()
{
    QFETCH(QByteArray, query);
    QFETCH(QStringList, names);
    QFETCH(QStringList, values);

    const auto entries = parseQuery(query);
    QCOMPARE(entries.size(), names.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        QCOMPARE(entries[i].first, names[i]);
        QCOMPARE(entries[i].second, values[i]);
        QCOMPARE(queryValue(entries, names[i].toUpper()), values[i]); // any letter case as a fallback
    }
}

QTEST_APPLESS_MAIN(HttpParserTest)
#include "HttpParserTest.moc"
