#include "platform/CertStore.h"
#include "platform/EscolhaCertificado.h"
#include "platform/PasswordPrompt.h"
#include "support/GuiTest.h"
#include "support/TestCertificates.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tervalia;
using test::TestCertificates;

namespace {
const QString softhsm = QStringLiteral("/usr/lib/softhsm/libsofthsm2.so");
const QString token = QStringLiteral("TOKEN TESTE");
const QString pin = QStringLiteral("1234");
const EscolhaCertificado::Textos textos{QStringLiteral("Selecione o Certificado Digital (e-CNPJ)"),
                                        QStringLiteral("Escolha o certificado")};

QStringList titulares(const EscolhaCertificado::Oferecido& o)
{
    QStringList t;
    for (const auto& l : o.linhas)
        t << l.titular;
    return t;
}
} // namespace

// An A3 token stand-in: a SoftHSM2 token registered in the user's database as a PKCS#11 module,
// holding a key and its certificate that the token shows only after login. p11-kit, when
// installed, offers the same token a second time.
class TokenTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void cancelledPinLeavesTheTokenOut();
    void wrongPinIsToldAndAskedAgain();
    void certificateAppearsAfterThePin();
    void withoutAnyDatabaseP11KitStillOffersTheToken();
    void unpluggedTokenAsksNothing();

private:
    std::optional<certstore::Certificate> escolhe(QList<EscolhaCertificado::Oferecido>& oferecidos);

    std::unique_ptr<TestCertificates> m_certs;
    QTemporaryDir m_dir;
    QString m_holder;
    QByteArray m_savedHome, m_savedConf;
};

void TokenTest::initTestCase()
{
    if (!QFile::exists(softhsm) || QStandardPaths::findExecutable(QStringLiteral("softhsm2-util")).isEmpty())
        QSKIP("softhsm2 is not installed");
    if (QStandardPaths::findExecutable(QStringLiteral("p11tool")).isEmpty())
        QSKIP("p11tool (gnutls-bin) is not installed");
    m_savedHome = qgetenv("HOME");
    m_savedConf = qgetenv("SOFTHSM2_CONF");
    const QString d = m_dir.path();
    QDir().mkpath(d + QLatin1String("/tokens"));
    QFile conf(d + QLatin1String("/softhsm2.conf"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write(QFile::encodeName(QStringLiteral("directories.tokendir = %1/tokens\nobjectstore.backend = file\n"
                                                "log.level = ERROR\n")
                                     .arg(d)));
    conf.close();
    // Every process that loads the module, this one included, must find the same tokens.
    qputenv("SOFTHSM2_CONF", QFile::encodeName(conf.fileName()));
    TestCertificates::run(QStringLiteral("softhsm2-util"),
                          {QStringLiteral("--init-token"), QStringLiteral("--free"), QStringLiteral("--label"), token,
                           QStringLiteral("--pin"), pin, QStringLiteral("--so-pin"), QStringLiteral("12345678")});
    m_certs = std::make_unique<TestCertificates>();
    test::CertProfile profile{QStringLiteral("PORTADOR TOKEN LTDA"), QStringLiteral("11222333000181")};
    m_holder = profile.holder();
    const TestCertificates::Pem pem = m_certs->makePem(profile);
    for (const auto& [option, file] : {std::pair{QStringLiteral("--load-privkey"), pem.key},
                                       std::pair{QStringLiteral("--load-certificate"), pem.certificate}}) {
        TestCertificates::run(QStringLiteral("p11tool"),
                              {QStringLiteral("--provider"), softhsm, QStringLiteral("--login"),
                               QStringLiteral("--write"), option, file, QStringLiteral("--label"),
                               QStringLiteral("portador"), QStringLiteral("--id"), QStringLiteral("01"),
                               QStringLiteral("pkcs11:token=TOKEN%20TESTE")},
                              {}, {QStringLiteral("GNUTLS_PIN=") + pin});
    }
    const QString db = d + QLatin1String("/home/.pki/nssdb");
    QDir().mkpath(db);
    TestCertificates::run(
        QStringLiteral("certutil"),
        {QStringLiteral("-N"), QStringLiteral("-d"), QStringLiteral("sql:") + db, QStringLiteral("--empty-password")});
    TestCertificates::run(QStringLiteral("modutil"), {QStringLiteral("-dbdir"), QStringLiteral("sql:") + db,
                                                      QStringLiteral("-add"), QStringLiteral("SoftHSM teste"),
                                                      QStringLiteral("-libfile"), softhsm, QStringLiteral("-force")});
}

void TokenTest::init()
{
    qputenv("HOME", QFile::encodeName(m_dir.path() + QLatin1String("/home")));
    test::startGuiTest();
}

void TokenTest::cleanup()
{
    test::finishGuiTest();
    qputenv("HOME", m_savedHome);
}

void TokenTest::cleanupTestCase()
{
    if (m_savedConf.isEmpty())
        qunsetenv("SOFTHSM2_CONF");
    else
        qputenv("SOFTHSM2_CONF", m_savedConf);
}

std::optional<certstore::Certificate> TokenTest::escolhe(QList<EscolhaCertificado::Oferecido>& oferecidos)
{
    std::optional<certstore::Certificate> c = EscolhaCertificado::escolher(nullptr, textos);
    oferecidos = EscolhaCertificado::takeOferecidos();
    return c;
}

void TokenTest::cancelledPinLeavesTheTokenOut()
{
    PasswordPrompt::queueCancel();
    EscolhaCertificado::queueEscolha(m_holder);
    QList<EscolhaCertificado::Oferecido> oferecidos;
    QVERIFY(!escolhe(oferecidos));
    QCOMPARE(oferecidos.size(), 1);
    QVERIFY(!titulares(oferecidos[0]).contains(m_holder));
    const auto asked = PasswordPrompt::takeShown();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked[0].title, PasswordPrompt::pinTitle());
    QVERIFY(asked[0].text.contains(QStringLiteral("“TOKEN TESTE”")));
    QVERIFY(!asked[0].text.startsWith(QStringLiteral("PIN incorreto")));
}

void TokenTest::wrongPinIsToldAndAskedAgain()
{
    PasswordPrompt::queueAnswer(QStringLiteral("9999"));
    PasswordPrompt::queueCancel();
    EscolhaCertificado::queueCancelamento();
    QList<EscolhaCertificado::Oferecido> oferecidos;
    escolhe(oferecidos);
    QVERIFY(!titulares(oferecidos[0]).contains(m_holder));
    const auto asked = PasswordPrompt::takeShown();
    QCOMPARE(asked.size(), 2);
    QVERIFY2(asked[1].text.startsWith(QStringLiteral("PIN incorreto. Digite o PIN do dispositivo “TOKEN TESTE”")),
             qPrintable(asked[1].text));
}

// Seen through the database's module and through p11-kit, the token is asked once and its
// certificate listed once.
void TokenTest::certificateAppearsAfterThePin()
{
    PasswordPrompt::queueAnswer(pin);
    EscolhaCertificado::queueEscolha(m_holder);
    QList<EscolhaCertificado::Oferecido> oferecidos;
    const std::optional<certstore::Certificate> c = escolhe(oferecidos);
    QVERIFY(c);
    QCOMPARE(c->token, token);
    QCOMPARE(c->document, QStringLiteral("11222333000181"));
    QCOMPARE(titulares(oferecidos[0]).count(m_holder), 1);
    QCOMPARE(PasswordPrompt::takeShown().size(), 1);
}

// No NSS database at all: the store is empty but for the tokens p11-kit offers.
void TokenTest::withoutAnyDatabaseP11KitStillOffersTheToken()
{
    if (!QFile::exists(certstore::p11KitProxyPath()))
        QSKIP("p11-kit-modules is not installed");
    QTemporaryDir vazio;
    qputenv("HOME", QFile::encodeName(vazio.path()));
    PasswordPrompt::queueAnswer(pin);
    const certstore::Listing l =
        certstore::list([](const certstore::PinRequest& r) { return PasswordPrompt::askPin(nullptr, r); });
    QCOMPARE(PasswordPrompt::takeShown().size(), 1);
    QCOMPARE(l.certificates.size(), 1);
    QCOMPARE(l.certificates[0].holder, m_holder);
    QVERIFY(!QFile::exists(vazio.path() + QLatin1String("/.pki")));
}

// The token pulled out: its module is still registered but finds no token. Nothing is asked, the
// chooser opens on what the store still holds, and the token is back once plugged in again.
void TokenTest::unpluggedTokenAsksNothing()
{
    QTemporaryDir fora;
    QVERIFY(QDir().mkpath(fora.path() + QLatin1String("/tokens")));
    QFile conf(fora.path() + QLatin1String("/softhsm2.conf"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write(QFile::encodeName(QStringLiteral("directories.tokendir = %1/tokens\nobjectstore.backend = file\n"
                                                "log.level = ERROR\n")
                                     .arg(fora.path())));
    conf.close();
    const QByteArray plugado = qgetenv("SOFTHSM2_CONF");
    qputenv("SOFTHSM2_CONF", QFile::encodeName(conf.fileName()));
    EscolhaCertificado::queueCancelamento();
    QList<EscolhaCertificado::Oferecido> oferecidos;
    QVERIFY(!escolhe(oferecidos));
    qputenv("SOFTHSM2_CONF", plugado);
    QCOMPARE(oferecidos.size(), 1);
    QVERIFY(!titulares(oferecidos[0]).contains(m_holder));
    QVERIFY(PasswordPrompt::takeShown().isEmpty());

    PasswordPrompt::queueAnswer(pin);
    EscolhaCertificado::queueEscolha(m_holder);
    QVERIFY(escolhe(oferecidos));
}

QTEST_MAIN(TokenTest)
#include "TokenTest.moc"
