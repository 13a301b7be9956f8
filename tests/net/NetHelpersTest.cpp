#include "net/Enc64.h"
#include "net/UrlHelper.h"

#include <QTest>

using namespace tervalia;

class NetHelpersTest : public QObject
{
    Q_OBJECT

private slots:
    void splitUrl_data();
    void splitUrl();
    void splitUrlRefusesPortsBeyond16Bits_data();
    void splitUrlRefusesPortsBeyond16Bits();
    void myDecode_data();
    void myDecode();
    void myDecodeRefusesLength_data();
    void myDecodeRefusesLength();
};

void NetHelpersTest::splitUrl_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("query");

    QTest::newRow("upload address, blank after the port")
        << "http://h:8080 /client/xt_upload.php?contador=1&chave=2&gias="
        << "http"
        << "h" << 8080 << "/client/xt_upload.php"
        << "contador=1&chave=2&gias=";
    QTest::newRow("blanks around the port") << "h:  80 /p"
                                            << ""
                                            << "h" << 80 << "/p"
                                            << "";
    QTest::newRow("empty port") << "host:/p"
                                << ""
                                << "host" << 0 << "/p"
                                << "";
    QTest::newRow("port not a number") << "h:abc/p"
                                       << ""
                                       << "h" << 0 << "/p"
                                       << "";
    QTest::newRow("port 32767") << "h:32767/"
                                << ""
                                << "h" << 32767 << "/"
                                << "";
    QTest::newRow("port -1") << "h:-1/"
                             << ""
                             << "h" << -1 << "/"
                             << "";
    QTest::newRow("port -32768") << "h:-32768/"
                                 << ""
                                 << "h" << -32768 << "/"
                                 << "";
    QTest::newRow("only a host") << "servidor.example"
                                 << ""
                                 << "servidor.example" << 0 << "/"
                                 << "";
    QTest::newRow("scheme and host") << "https://servidor.example"
                                     << "https"
                                     << "servidor.example" << 0 << "/"
                                     << "";
    QTest::newRow("host and port without path") << "h:8080"
                                                << ""
                                                << "h" << 8080 << "/"
                                                << "";
    QTest::newRow("colon after the slash") << "h/a:b?c=d"
                                           << ""
                                           << "h" << 0 << "/a:b"
                                           << "c=d";
    QTest::newRow("first question mark splits") << "h/p?a=1?b=2"
                                                << ""
                                                << "h" << 0 << "/p"
                                                << "a=1?b=2";
    QTest::newRow("question mark without query") << "h:1/p?"
                                                 << ""
                                                 << "h" << 1 << "/p"
                                                 << "";
    QTest::newRow("empty address") << ""
                                   << ""
                                   << "" << 0 << "/"
                                   << "";
    QTest::newRow("second :// belongs to the path") << "a://h/x://y"
                                                    << "a"
                                                    << "h" << 0 << "/x://y"
                                                    << "";
}

void NetHelpersTest::splitUrl()
{
    QFETCH(QString, address);
    const UrlParts parts = SplitUrl(address);
    QTEST(parts.Scheme, "scheme");
    QTEST(parts.Host, "host");
    QTEST(int(parts.Port), "port");
    QTEST(parts.Path, "path");
    QTEST(parts.Query, "query");
}

void NetHelpersTest::splitUrlRefusesPortsBeyond16Bits_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("32768") << "http://h:32768/p";
    QTest::newRow("-32769") << "h:-32769/p";
    QTest::newRow("65535, no path") << "h:65535";
    QTest::newRow("beyond 64 bits") << "h:99999999999999999999999/p";
}

void NetHelpersTest::splitUrlRefusesPortsBeyond16Bits()
{
    QFETCH(QString, address);
    try {
        SplitUrl(address);
        QFAIL("the port should have been refused");
    } catch (const UrlError& error) {
        QVERIFY(error.description().startsWith(QStringLiteral("A porta")));
    }
}

void NetHelpersTest::myDecode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QString>("textAfter");

    QTest::newRow("no padding") << "YWJj" << QByteArray("abc") << "YWJj";
    QTest::newRow("one =") << "YWI=" << QByteArray("ab") << "YWI=";
    QTest::newRow("two =") << "YQ==" << QByteArray("a") << "YQ==";
    QTest::newRow("CR LF removed in place") << "YWJj\r\n" << QByteArray("abc") << "YWJj";
    QTest::newRow("line breaks inside") << "YW\nJj\rZGVm" << QByteArray("abcdef") << "YWJjZGVm";
    QTest::newRow("empty") << "" << QByteArray() << "";
    QTest::newRow("binary") << "/+8=" << QByteArray("\xff\xef") << "/+8=";
    QTest::newRow("bad character is zero bits") << "YW*j" << QByteArray("a`#") << "YW*j";
    QTest::newRow("accented character is zero bits") << "YãJj"
                                                     << QByteArray("`\x02"
                                                                   "c")
                                                     << "YãJj";
    QTest::newRow("= inside counts as zero bits") << "YW=j" << QByteArray("a`") << "YW=j";
    QTest::newRow("== anywhere drops two bytes") << "YQ==YWJj" << QByteArray("a\0\0a", 4) << "YQ==YWJj";
    QTest::newRow("all padding") << "====" << QByteArray(1, '\0') << "====";
}

void NetHelpersTest::myDecode()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);
    QCOMPARE(MyDecode(text), expected);
    QTEST(text, "textAfter");
}

void NetHelpersTest::myDecodeRefusesLength_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("textAfter");
    QTest::newRow("three characters") << "YWJ"
                                      << "YWJ";
    QTest::newRow("five characters") << "YWJjZ"
                                     << "YWJjZ";
    QTest::newRow("three once the line break is gone") << "YW\r\nJ"
                                                       << "YWJ";
}

void NetHelpersTest::myDecodeRefusesLength()
{
    QFETCH(QString, text);
    try {
        MyDecode(text);
        QFAIL("a length that is not a multiple of four should be refused");
    } catch (const Base64Error& error) {
        QCOMPARE(error.number(), -2147221504);
        QCOMPARE(error.source(), QStringLiteral("MyDecode"));
        QCOMPARE(error.description(), QStringLiteral("Input string is not valid Base64."));
    }
    QTEST(text, "textAfter");
}

QTEST_GUILESS_MAIN(NetHelpersTest)
#include "NetHelpersTest.moc"
