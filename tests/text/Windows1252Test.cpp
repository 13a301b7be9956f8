// Windows-1252 text of files written by Windows programs.

#include "text/Windows1252.h"

#include <QTest>

using namespace tervalia;

class Windows1252Test : public QObject
{
    Q_OBJECT

private slots:
    void caracteres_data();
    void caracteres();
};

void Windows1252Test::caracteres_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("esperado");
    QTest::newRow("ASCII") << QByteArray("IE 062.123") << QStringLiteral("IE 062.123");
    QTest::newRow("accented letters") << QByteArray("A\xE7ougue S\xE3o Jo\xE3o") << QStringLiteral("Açougue São João");
    QTest::newRow("euro, quotes and dashes") << QByteArray("\x80\x93\x94\x91\x92\x96\x97") << QStringLiteral("€“”‘’–—");
    QTest::newRow("letters of 0x8A to 0x9F") << QByteArray("\x8A\x8C\x8E\x9A\x9C\x9E\x9F") << QStringLiteral("ŠŒŽšœžŸ");
    QTest::newRow("undefined bytes read as control characters")
        << QByteArray("\x81\x8D\x8F\x90\x9D") << QStringLiteral("\u0081\u008D\u008F\u0090\u009D");
    QTest::newRow("no-break space and last byte") << QByteArray("\xA0\xFF") << QStringLiteral("\u00A0ÿ");
    QTest::newRow("NUL stays") << QByteArray("a\0b", 3) << QStringView(u"a\0b", 3).toString();
    QTest::newRow("empty") << QByteArray() << QString();
}

void Windows1252Test::caracteres()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, esperado);
    QCOMPARE(decodeWindows1252(bytes), esperado);
}

QTEST_APPLESS_MAIN(Windows1252Test)
#include "Windows1252Test.moc"
