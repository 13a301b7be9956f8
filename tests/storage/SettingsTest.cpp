#include "storage/ReadWrite.h"
#include "support/TestProgramDir.h"

#include <QTest>

using namespace tervalia;

class SettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void readsValue_data();
    void readsValue();
    void missingFileReadsEmpty();
    void editsAreSeenByTheNextRead();
};

void SettingsTest::readsValue_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << QByteArray("[servidor]\r\nhost=10.1.1.1\r\nport=8080\r\n") << "servidor"
                           << "port"
                           << "8080";
    QTest::newRow("one character reads as empty") << QByteArray("[servidor]\nport=8\n") << "servidor"
                                                  << "port"
                                                  << "";
    QTest::newRow("two characters") << QByteArray("[servidor]\nport=80\n") << "servidor"
                                    << "port"
                                    << "80";
    QTest::newRow("section and key in any case") << QByteArray("[SERVIDOR]\nHost=exemplo\n") << "servidor"
                                                 << "host"
                                                 << "exemplo";
    QTest::newRow("blanks around name and value") << QByteArray("[ servidor ]\n  host =  exemplo  \n") << "servidor"
                                                  << "host"
                                                  << "exemplo";
    QTest::newRow("enclosing quotes dropped") << QByteArray("[servidor]\nhost=\"exemplo\"\n") << "servidor"
                                              << "host"
                                              << "exemplo";
    QTest::newRow("key of another section") << QByteArray("[outra]\nhost=exemplo\n[servidor]\nport=80\n") << "servidor"
                                            << "host"
                                            << "";
    QTest::newRow("missing section") << QByteArray("[outra]\nhost=exemplo\n") << "servidor"
                                     << "host"
                                     << "";
    QTest::newRow("missing key") << QByteArray("[servidor]\nport=80\n") << "servidor"
                                 << "host"
                                 << "";
    QTest::newRow("first of repeated keys") << QByteArray("[servidor]\nhost=primeiro\nhost=segundo\n") << "servidor"
                                            << "host"
                                            << "primeiro";
    QTest::newRow("comment line") << QByteArray("[servidor]\n;host=comentado\nhost=real\n") << "servidor"
                                  << "host"
                                  << "real";
    QTest::newRow("empty value") << QByteArray("[servidor]\nhost=\n") << "servidor"
                                 << "host"
                                 << "";
    QTest::newRow("equals sign inside value") << QByteArray("[servidor]\nhost=a=b\n") << "servidor"
                                              << "host"
                                              << "a=b";
    QTest::newRow("last line without newline") << QByteArray("[servidor]\nhost=exemplo") << "servidor"
                                               << "host"
                                               << "exemplo";
    QTest::newRow("binary garbage") << QByteArray("\x00\xff[serv\x01\n=\n[", 13) << "servidor"
                                    << "host"
                                    << "";

    const QByteArray longValue(300, 'x');
    QTest::newRow("300 characters cut to 254") << ("[servidor]\nhost=" + longValue + "\n") << "servidor"
                                               << "host" << QString(254, u'x');
    QTest::newRow("accents in an old code page") << QByteArray("[servidor]\nhost=s\xe3o\n") << "servidor"
                                                 << "host" << QString::fromUtf8("são");
}

void SettingsTest::readsValue()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);

    test::TestProgramDir dir;
    dir.writeFile(QStringLiteral("dipam.ini"), ini);
    QCOMPARE(ReadFromFile(section, key), expected);
}

void SettingsTest::missingFileReadsEmpty()
{
    test::TestProgramDir dir;
    dir.removeFile(QStringLiteral("dipam.ini"));
    QCOMPARE(ReadFromFile(QStringLiteral("servidor"), QStringLiteral("host")), QString());
    QCOMPARE(ReadFromFile(QStringLiteral("servidor"), QStringLiteral("port")), QString());
}

void SettingsTest::editsAreSeenByTheNextRead()
{
    test::TestProgramDir dir;
    dir.writeSettings(QStringLiteral("primeiro.example"), QStringLiteral("80"));
    QCOMPARE(ReadFromFile(QStringLiteral("servidor"), QStringLiteral("host")), QStringLiteral("primeiro.example"));
    dir.writeSettings(QStringLiteral("segundo.example"), QStringLiteral("81"));
    QCOMPARE(ReadFromFile(QStringLiteral("servidor"), QStringLiteral("host")), QStringLiteral("segundo.example"));
    QCOMPARE(ReadFromFile(QStringLiteral("servidor"), QStringLiteral("port")), QStringLiteral("81"));
}

QTEST_GUILESS_MAIN(SettingsTest)
#include "SettingsTest.moc"
