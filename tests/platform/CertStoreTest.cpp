#include "platform/CertStore.h"
#include "net/Enc64.h"
#include "support/TestCertificates.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tervalia;
using namespace tervalia::certstore;
using tervalia::test::CertProfile;
using tervalia::test::TestCertificates;

namespace {
PinCallback noPin()
{
    return [](const PinRequest&) { return std::optional<QString>(); };
}

const Certificate* byHolder(const Listing& l, const QString& holder)
{
    for (const Certificate& c : l.certificates) {
        if (c.holder == holder)
            return &c;
    }
    return nullptr;
}
} // namespace

class CertStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void missingDatabaseIsAnEmptyStore();
    void emptyDirectoryIsAnEmptyStore();
    void damagedDatabaseIsAnError();
    void listsEachCertificateOnce();
    void whatEachCertificateCarries_data();
    void whatEachCertificateCarries();
    void exportDecodesToTheCertificate();
    void newerDatabaseLocation();
    void importCreatesTheDatabase();
    void importRefusals_data();
    void importRefusals();
    void crlAddresses();
    void unreadableCrlExtension();
    void daysLeft_data();
    void daysLeft();

private:
    void useHome(const QString& home);

    std::unique_ptr<TestCertificates> m_certs;
    QTemporaryDir m_template; // HOME with the standard store, copied into each case's own HOME
    QStringList m_holders;
    std::unique_ptr<QTemporaryDir> m_home;
    QByteArray m_savedHome;
};

void CertStoreTest::initTestCase()
{
    m_savedHome = qgetenv("HOME");
    setP11KitProxyPathForTests({}); // tokens of this machine stay out of the counts
    m_certs = std::make_unique<TestCertificates>();
    QList<CertProfile> profiles = TestCertificates::standardSet();
    CertProfile twoPoints{QStringLiteral("EMPRESA DUAS LCR LTDA"), QStringLiteral("33000167000101")};
    twoPoints.crlUrls = {QStringLiteral("http://lcr.example/a.crl"), QStringLiteral("ldap://lcr.example/b")};
    CertProfile broken{QStringLiteral("EMPRESA LCR QUEBRADA LTDA"), QStringLiteral("11222333000181")};
    broken.brokenCrlExtension = true;
    m_holders = m_certs->installStore(m_template.path(), profiles << twoPoints << broken);
}

void CertStoreTest::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    useHome(m_home->path());
}

void CertStoreTest::cleanup()
{
    qputenv("HOME", m_savedHome);
    m_home.reset();
}

void CertStoreTest::useHome(const QString& home)
{
    qputenv("HOME", QFile::encodeName(home));
}

void CertStoreTest::missingDatabaseIsAnEmptyStore()
{
    QVERIFY(databaseDir().isEmpty());
    const Listing l = list(noPin());
    QVERIFY(l.certificates.isEmpty());
    QVERIFY(l.notices.isEmpty());
}

void CertStoreTest::emptyDirectoryIsAnEmptyStore()
{
    QDir().mkpath(m_home->path() + QLatin1String("/.pki/nssdb"));
    QCOMPARE(databaseDir(), m_home->path() + QLatin1String("/.pki/nssdb"));
    QVERIFY(list(noPin()).certificates.isEmpty());
}

void CertStoreTest::damagedDatabaseIsAnError()
{
    const QString db = m_home->path() + QLatin1String("/.pki/nssdb");
    QDir().mkpath(db);
    for (const char* name : {"/cert9.db", "/key4.db"}) {
        QFile f(db + QLatin1String(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(8192, 'x'));
    }
    try {
        list(noPin());
        QFAIL("a damaged database was read");
    } catch (const StoreError& e) {
        QVERIFY(e.description().startsWith(QStringLiteral("Não foi possível abrir o repositório")));
        QVERIFY(e.code() != 0);
    }
}

void CertStoreTest::listsEachCertificateOnce()
{
    useHome(m_template.path());
    const Listing l = list(noPin());
    QStringList holders;
    for (const Certificate& c : l.certificates)
        holders << c.holder;
    holders.sort();
    QStringList expected = m_holders;
    expected.sort();
    QCOMPARE(holders, expected);
}

void CertStoreTest::whatEachCertificateCarries_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("document");
    QTest::addColumn<bool>("crl");
    QTest::addColumn<int>("minDays");
    QTest::addColumn<int>("maxDays");
    // e-CNPJ: the CNPJ of 2.16.76.1.3.3, not the responsible person's CPF of .4.
    QTest::newRow("e-CNPJ") << 0 << TestCertificates::companyCnpj << false << 700 << 731;
    // e-CPF: characters 9 to 19 of 2.16.76.1.3.1.
    QTest::newRow("e-CPF") << 1 << TestCertificates::accountantCpf << true << 700 << 731;
    QTest::newRow("expired") << 2 << QStringLiteral("11444777000161") << false << -366 << -364;
    QTest::newRow("10 days left") << 3 << QStringLiteral("60470198000107") << false << 9 << 10;
}

void CertStoreTest::whatEachCertificateCarries()
{
    QFETCH(int, index);
    QFETCH(QString, document);
    QFETCH(bool, crl);
    QFETCH(int, minDays);
    QFETCH(int, maxDays);
    useHome(m_template.path());
    const Listing l = list(noPin());
    const Certificate* c = byHolder(l, m_holders[index]);
    QVERIFY(c);
    QCOMPARE(c->document, document);
    QCOMPARE(c->hasCrlDistributionPoints, crl);
    QVERIFY2(c->daysLeft() >= minDays && c->daysLeft() <= maxDays, qPrintable(QString::number(c->daysLeft())));
    QVERIFY(c->validFrom < c->validUntil);
    QCOMPARE(c->issuerName, QStringLiteral("AC TESTE TERVALIA"));
    QVERIFY(c->subject.contains(QStringLiteral("CN=") + m_holders[index]));
    QVERIFY(c->der.contains(document.toLatin1()));
    QVERIFY(!c->token.isEmpty());
}

void CertStoreTest::exportDecodesToTheCertificate()
{
    useHome(m_template.path());
    const Listing l = list(noPin());
    QVERIFY(!l.certificates.isEmpty());
    for (const Certificate& c : l.certificates) {
        QString text = c.base64Export();
        QVERIFY(text.endsWith(QLatin1String("\r\n")));
        QCOMPARE(MyDecode(text), c.der);
    }
}

void CertStoreTest::newerDatabaseLocation()
{
    const QString newer = m_home->path() + QLatin1String("/.local/share/pki");
    QDir().mkpath(newer);
    QVERIFY(QFile::link(m_template.path() + QLatin1String("/.pki/nssdb"), newer + QLatin1String("/nssdb")));
    QCOMPARE(databaseDir(), newer + QLatin1String("/nssdb"));
    QCOMPARE(list(noPin()).certificates.size(), m_holders.size());
}

void CertStoreTest::importCreatesTheDatabase()
{
    CertProfile profile{QStringLiteral("IMPORTADA ÁGUA LTDA"), QStringLiteral("11222333000181")};
    const QString p12 = m_certs->makePkcs12(profile, QStringLiteral("sênha"));
    const Certificate imported = importPkcs12(p12, QStringLiteral("sênha"), noPin());
    QCOMPARE(imported.holder, profile.holder());
    QCOMPARE(databaseDir(), m_home->path() + QLatin1String("/.pki/nssdb"));
    QVERIFY(QFile::exists(databaseDir() + QLatin1String("/cert9.db")));
    // The same file again adds nothing.
    importPkcs12(p12, QStringLiteral("sênha"), noPin());
    const Listing l = list(noPin());
    QCOMPARE(l.certificates.size(), 1);
    QCOMPARE(l.certificates[0].der, imported.der);
}

void CertStoreTest::importRefusals_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: the real file
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::newRow("wrong password") << QByteArray() << QStringLiteral("errada")
                                    << QStringLiteral("A senha do arquivo de certificado está incorreta.");
    QTest::newRow("not PKCS#12") << QByteArray("isto não é um certificado") << QStringLiteral("teste")
                                 << QStringLiteral("O arquivo não é um certificado A1 válido");
    QTest::newRow("empty file") << QByteArray("\0", 1) << QStringLiteral("teste")
                                << QStringLiteral("O arquivo não é um certificado A1 válido");
    QTest::newRow("too large") << QByteArray(2 * 1024 * 1024, '0') << QStringLiteral("teste")
                               << QStringLiteral("O arquivo “");
}

void CertStoreTest::importRefusals()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, password);
    QFETCH(QString, message);
    QString file = m_certs->makePkcs12({QStringLiteral("RECUSADA LTDA"), QStringLiteral("11222333000181")});
    if (!content.isEmpty()) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }
    try {
        importPkcs12(file, password, noPin());
        QFAIL("imported");
    } catch (const ImportError& e) {
        QVERIFY2(e.description().startsWith(message), qPrintable(e.description()));
        QVERIFY(e.description().contains(QStringLiteral("Nenhum certificado foi importado")));
    }
    // Nothing was created for a file that was refused.
    QVERIFY(!QFile::exists(m_home->path() + QLatin1String("/.pki")));
}

void CertStoreTest::crlAddresses()
{
    useHome(m_template.path());
    const Listing l = list(noPin());
    const Certificate* one = byHolder(l, m_holders[1]);
    const Certificate* two = byHolder(l, m_holders[4]);
    QVERIFY(one && two);
    QCOMPARE(crlUrls(one->der).urls, QStringList{QStringLiteral("http://127.0.0.1:9/lcr/ac-teste.crl")});
    const CrlUrls both = crlUrls(two->der);
    QVERIFY(both.ok());
    QCOMPARE(both.urls,
             (QStringList{QStringLiteral("http://lcr.example/a.crl"), QStringLiteral("ldap://lcr.example/b")}));
}

void CertStoreTest::unreadableCrlExtension()
{
    useHome(m_template.path());
    const Listing l = list(noPin());
    const Certificate* broken = byHolder(l, m_holders[5]);
    QVERIFY(broken);
    QVERIFY(broken->hasCrlDistributionPoints);
    const CrlUrls urls = crlUrls(broken->der);
    QVERIFY(!urls.ok());
    QVERIFY(urls.urls.isEmpty());
}

void CertStoreTest::daysLeft_data()
{
    QTest::addColumn<qint64>("secondsLeft");
    QTest::addColumn<qint64>("days");
    QTest::newRow("a day and a bit") << qint64(86400 + 5) << qint64(1);
    QTest::newRow("under a day") << qint64(86399) << qint64(0);
    QTest::newRow("just expired") << qint64(-1) << qint64(-1);
    QTest::newRow("expired a day ago") << qint64(-86400) << qint64(-1);
}

void CertStoreTest::daysLeft()
{
    QFETCH(qint64, secondsLeft);
    QFETCH(qint64, days);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    Certificate c;
    c.validUntil = now.addSecs(secondsLeft);
    QCOMPARE(c.daysLeft(now), days);
}

QTEST_GUILESS_MAIN(CertStoreTest)
#include "CertStoreTest.moc"
