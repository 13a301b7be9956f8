#include "server/Multipart.h"
#include "server/HttpRequest.h"

#include <QTest>

using namespace tervalia::standin;

namespace {

const QByteArray boundary = "AbCdEfGhIjKlMnOpQrStUvWxYz012345";

// The upload client's body for the 3-byte file "abc": 190 bytes whatever the 32-letter boundary.
const QByteArray goldenBody = "--AbCdEfGhIjKlMnOpQrStUvWxYz012345\r\n"
                              "Content-Disposition: form-data; name=\"objArquivo\"; filename=\"VAF.GDB\"\r\n"
                              "Content-Type: application/octet-stream\r\n"
                              "\r\n"
                              "abc\r\n"
                              "--AbCdEfGhIjKlMnOpQrStUvWxYz012345--";

QByteArray part(const QByteArray& headers, const QByteArray& content)
{
    return "--" + boundary + "\r\n" + headers + "\r\n\r\n" + content + "\r\n";
}

const QByteArray fileHeaders = "Content-Disposition: form-data; name=\"objArquivo\"; filename=\"a.pdf\"\r\n"
                               "Content-Type: application/octet-stream";
const QByteArray closing = "--" + boundary + "--";

} // namespace

class MultipartTest : public QObject
{
    Q_OBJECT

private slots:
    void readsTheClientsExampleBody();
    void readsTheClientsWholeRequest();
    void findsBoundary_data();
    void findsBoundary();
    void splitsBody_data();
    void splitsBody();
    void refusesBrokenBody_data();
    void refusesBrokenBody();
};

void MultipartTest::readsTheClientsExampleBody()
{
    QCOMPARE(goldenBody.size(), 190);
    const MultipartResult result = parseMultipart(goldenBody, boundary);
    QVERIFY2(result.ok(), qPrintable(result.error));
    QCOMPARE(result.parts.size(), 1);
    const FormPart& p = result.parts.first();
    QCOMPARE(p.name, QByteArray("objArquivo"));
    QVERIFY(p.hasFileName);
    QCOMPARE(p.fileName, QByteArray("VAF.GDB"));
    QCOMPARE(p.contentType, QByteArray("application/octet-stream"));
    QCOMPARE(p.content, QByteArray("abc"));
}

void MultipartTest::readsTheClientsWholeRequest()
{
    // Exactly as the client writes it: HTTP/1.0, "?" with an empty query, the host alone, a comma
    // before the boundary, and no line break after the closing delimiter.
    const QByteArray request = "POST /client/xt_upload.php? HTTP/1.0\r\n"
                               "Host: 127.0.0.1\r\n"
                               "Content-Type: multipart/form-data, boundary=" +
                               boundary +
                               "\r\n"
                               "Content-Length: 190\r\n"
                               "\r\n" +
                               goldenBody;
    HttpRequestParser parser;
    QCOMPARE(parser.feed(request), HttpRequestParser::State::Complete);
    const HttpRequest& r = parser.request();
    QCOMPARE(r.path(), QByteArray("/client/xt_upload.php"));
    QVERIFY(parseQuery(r.query()).isEmpty());
    QCOMPARE(boundaryFromContentType(r.header("Content-Type")), boundary);
    const MultipartResult result = parseMultipart(r.body, boundary);
    QVERIFY2(result.ok(), qPrintable(result.error));
    QCOMPARE(result.parts.first().content, QByteArray("abc"));
}

void MultipartTest::findsBoundary_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("comma, as the client writes it")
        << QByteArray("multipart/form-data, boundary=B1") << QByteArray("B1");
    QTest::newRow("semicolon, as browsers write it")
        << QByteArray("multipart/form-data; boundary=B1") << QByteArray("B1");
    QTest::newRow("quoted") << QByteArray("multipart/form-data; boundary=\"a b;c\"") << QByteArray("a b;c");
    QTest::newRow("among other parameters")
        << QByteArray("multipart/form-data; charset=utf-8; boundary=X") << QByteArray("X");
    QTest::newRow("any letter case") << QByteArray("Multipart/Form-Data, Boundary=X") << QByteArray("X");
    QTest::newRow("not multipart") << QByteArray("text/xml; boundary=X") << QByteArray();
    QTest::newRow("no boundary") << QByteArray("multipart/form-data") << QByteArray();
    QTest::newRow("empty boundary") << QByteArray("multipart/form-data, boundary=") << QByteArray();
    QTest::newRow("missing header") << QByteArray() << QByteArray();
}

void MultipartTest::findsBoundary()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, expected);
    QCOMPARE(boundaryFromContentType(contentType), expected);
}

void MultipartTest::splitsBody_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("parts");
    QTest::addColumn<QByteArray>("lastContent");
    QTest::addColumn<QByteArray>("lastFileName");

    QTest::newRow("line break after the closing delimiter") << part(fileHeaders, "abc") + closing + "\r\n"
                                                            << 1 << QByteArray("abc") << QByteArray("a.pdf");
    QTest::newRow("preamble before the first delimiter")
        << "ignored text\r\n" + part(fileHeaders, "abc") + closing << 1 << QByteArray("abc") << QByteArray("a.pdf");
    QTest::newRow("a field, then the file")
        << part("Content-Disposition: form-data; name=\"campo\"", "valor") + part(fileHeaders, "x") + closing << 2
        << QByteArray("x") << QByteArray("a.pdf");
    QTest::newRow("empty file") << part(fileHeaders, "") + closing << 1 << QByteArray() << QByteArray("a.pdf");
    QTest::newRow("binary content with line breaks and NUL")
        << part(fileHeaders, QByteArray("\r\n\0--\r\n\xff", 8)) + closing << 1 << QByteArray("\r\n\0--\r\n\xff", 8)
        << QByteArray("a.pdf");
    QTest::newRow("boundary text inside the content, not on a line of its own")
        << part(fileHeaders, "x--" + boundary + "\r\n--" + boundary + "zz") + closing << 1
        << QByteArray("x--" + boundary + "\r\n--" + boundary + "zz") << QByteArray("a.pdf");
    QTest::newRow("semicolon inside a quoted file name")
        << part("Content-Disposition: form-data; name=\"objArquivo\"; filename=\"a;b.pdf\"", "1") + closing << 1
        << QByteArray("1") << QByteArray("a;b.pdf");
    QTest::newRow("bare line feeds") << "--" + boundary +
                                            "\nContent-Disposition: form-data; name=\"f\"; filename=\"n\"\n\nabc\n--" +
                                            boundary + "--"
                                     << 1 << QByteArray("abc") << QByteArray("n");
    QTest::newRow("closing delimiter alone") << closing << 0 << QByteArray() << QByteArray();
}

void MultipartTest::splitsBody()
{
    QFETCH(QByteArray, body);
    QFETCH(int, parts);
    QFETCH(QByteArray, lastContent);
    QFETCH(QByteArray, lastFileName);

    const MultipartResult result = parseMultipart(body, boundary);
    QVERIFY2(result.ok(), qPrintable(result.error));
    QCOMPARE(result.parts.size(), parts);
    if (parts > 0) {
        QCOMPARE(result.parts.last().content, lastContent);
        QCOMPARE(result.parts.last().fileName, lastFileName);
    }
}

void MultipartTest::refusesBrokenBody_data()
{
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("cut in the content") << goldenBody.left(150);
    QTest::newRow("cut before the closing dashes") << goldenBody.left(goldenBody.size() - 2);
    QTest::newRow("cut in the part headers") << goldenBody.left(60);
    QTest::newRow("no closing delimiter") << part(fileHeaders, "abc");
    QTest::newRow("no delimiter at all") << QByteArray("abc\r\n\r\nabc");
    QTest::newRow("another boundary") << QByteArray(goldenBody).replace(boundary, "OtherBoundary");
    QTest::newRow("empty body") << QByteArray();
}

void MultipartTest::refusesBrokenBody()
{
    QFETCH(QByteArray, body);
    const MultipartResult result = parseMultipart(body, boundary);
    QVERIFY(!result.ok());
}

QTEST_APPLESS_MAIN(MultipartTest)
#include "MultipartTest.moc"
