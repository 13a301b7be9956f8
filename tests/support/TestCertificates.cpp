#include "TestCertificates.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <stdexcept>

namespace tervalia::test {

namespace {

void writeText(const QString& path, const QString& text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text.toUtf8()) < 0)
        throw std::runtime_error("cannot write " + path.toStdString());
}

QString opensslTime(const QDateTime& t)
{
    return t.toUTC().toString(QStringLiteral("yyyyMMddHHmmss")) + QLatin1Char('Z');
}

QString caConfig(const QString& dir)
{
    return QStringLiteral("[ca]\ndefault_ca = testca\n"
                          "[testca]\ndir = %1\ndatabase = $dir/index.txt\nnew_certs_dir = $dir/emitidos\n"
                          "certificate = $dir/ca.pem\nprivate_key = $dir/ca.key\nserial = $dir/serial\n"
                          "default_md = sha256\npolicy = qualquer\nunique_subject = no\ncopy_extensions = none\n"
                          "email_in_dn = no\nstring_mask = utf8only\nutf8 = yes\n"
                          "[qualquer]\ncommonName = supplied\norganizationName = optional\n"
                          "countryName = optional\norganizationalUnitName = optional\n"
                          "[req]\ndistinguished_name = dn\nstring_mask = utf8only\nutf8 = yes\n"
                          "[dn]\n"
                          "[v3_ca]\nbasicConstraints = critical,CA:TRUE\nkeyUsage = keyCertSign, cRLSign\n")
        .arg(dir);
}

// ICP-Brasil alternative names: the numbers as PrintableString, unknown fields filled with "0".
QString extensions(const CertProfile& profile)
{
    QString san;
    if (profile.document.size() == 14) {
        san = QStringLiteral("otherName.0 = 2.16.76.1.3.3;OCTETSTRING:%1\n"
                             "otherName.1 = 2.16.76.1.3.4;PRINTABLESTRING:01011980%2%3%4SSPMG\n"
                             "otherName.2 = 2.16.76.1.3.2;PRINTABLESTRING:RESPONSAVEL TESTE\n")
                  .arg(profile.document, profile.responsibleCpf, QString(11, u'0'), QString(15, u'0'));
    } else {
        san = QStringLiteral("otherName.0 = 2.16.76.1.3.1;PRINTABLESTRING:01011980%1%2%3SSPMG\n")
                  .arg(profile.document, QString(11, u'0'), QString(15, u'0'));
    }
    QString ext = QStringLiteral("[ext]\nbasicConstraints = CA:FALSE\n"
                                 "keyUsage = digitalSignature, nonRepudiation, keyEncipherment\n"
                                 "extendedKeyUsage = clientAuth, emailProtection\nsubjectAltName = @san\n");
    if (profile.brokenCrlExtension)
        ext += QStringLiteral("2.5.29.31 = DER:30:03:02:01:05\n");
    else if (!profile.crlUrls.isEmpty()) {
        QStringList uris;
        for (const QString& u : profile.crlUrls)
            uris << QStringLiteral("URI:") + u;
        ext += QStringLiteral("crlDistributionPoints = ") + uris.join(u',') + u'\n';
    }
    return ext + QStringLiteral("[san]\n") + san;
}

} // namespace

QByteArray TestCertificates::run(const QString& program, const QStringList& arguments, const QByteArray& input,
                                 const QStringList& environment)
{
    QProcess p;
    if (!environment.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& e : environment)
            env.insert(e.section(u'=', 0, 0), e.section(u'=', 1));
        p.setProcessEnvironment(env);
    }
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    if (!p.waitForStarted(30000))
        throw std::runtime_error("cannot start " + program.toStdString());
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw std::runtime_error(
            (program + QLatin1Char(' ') + arguments.join(u' ') + QLatin1String(" failed:\n")).toStdString() +
            p.readAll().toStdString());
    return p.readAll();
}

TestCertificates::TestCertificates()
{
    const QString d = m_dir.path();
    QDir().mkpath(d + QLatin1String("/emitidos"));
    writeText(d + QLatin1String("/index.txt"), {});
    writeText(d + QLatin1String("/serial"), QStringLiteral("1000\n"));
    writeText(d + QLatin1String("/ca.cnf"), caConfig(d));
    run(QStringLiteral("openssl"),
        {QStringLiteral("req"),         QStringLiteral("-x509"),
         QStringLiteral("-newkey"),     QStringLiteral("ec"),
         QStringLiteral("-pkeyopt"),    QStringLiteral("ec_paramgen_curve:prime256v1"),
         QStringLiteral("-nodes"),      QStringLiteral("-keyout"),
         d + QLatin1String("/ca.key"),  QStringLiteral("-out"),
         d + QLatin1String("/ca.pem"),  QStringLiteral("-days"),
         QStringLiteral("7300"),        QStringLiteral("-utf8"),
         QStringLiteral("-subj"),       QStringLiteral("/C=BR/O=ICP-Brasil/CN=AC TESTE TERVALIA"),
         QStringLiteral("-config"),     d + QLatin1String("/ca.cnf"),
         QStringLiteral("-extensions"), QStringLiteral("v3_ca")});
}

TestCertificates::Pem TestCertificates::makePem(const CertProfile& profile)
{
    const QString d = m_dir.path();
    const QString base = d + QStringLiteral("/c%1").arg(++m_count);
    writeText(base + QLatin1String(".ext"), extensions(profile));
    run(QStringLiteral("openssl"),
        {QStringLiteral("req"), QStringLiteral("-new"), QStringLiteral("-newkey"), QStringLiteral("ec"),
         QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
         QStringLiteral("-keyout"), base + QLatin1String(".key"), QStringLiteral("-out"), base + QLatin1String(".csr"),
         QStringLiteral("-utf8"), QStringLiteral("-subj"), QStringLiteral("/C=BR/O=ICP-Brasil/CN=") + profile.holder(),
         QStringLiteral("-config"), d + QLatin1String("/ca.cnf")});
    run(QStringLiteral("openssl"),
        {QStringLiteral("ca"), QStringLiteral("-batch"), QStringLiteral("-notext"), QStringLiteral("-utf8"),
         QStringLiteral("-config"), d + QLatin1String("/ca.cnf"), QStringLiteral("-extfile"),
         base + QLatin1String(".ext"), QStringLiteral("-extensions"), QStringLiteral("ext"), QStringLiteral("-in"),
         base + QLatin1String(".csr"), QStringLiteral("-out"), base + QLatin1String(".pem"),
         QStringLiteral("-startdate"), opensslTime(profile.validFrom), QStringLiteral("-enddate"),
         opensslTime(profile.validUntil)});
    return {base + QLatin1String(".key"), base + QLatin1String(".pem")};
}

TestCertificates::Pem TestCertificates::makeServerPem(const QString& altNames, const QDateTime& validFrom,
                                                      const QDateTime& validUntil)
{
    const QString d = m_dir.path();
    const QString base = d + QStringLiteral("/s%1").arg(++m_count);
    writeText(base + QLatin1String(".ext"), QStringLiteral("[ext]\nbasicConstraints = CA:FALSE\n"
                                                           "extendedKeyUsage = serverAuth\nsubjectAltName = %1\n")
                                                .arg(altNames));
    run(QStringLiteral("openssl"),
        {QStringLiteral("req"), QStringLiteral("-new"), QStringLiteral("-newkey"), QStringLiteral("ec"),
         QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
         QStringLiteral("-keyout"), base + QLatin1String(".key"), QStringLiteral("-out"), base + QLatin1String(".csr"),
         QStringLiteral("-subj"), QStringLiteral("/O=Prefeitura de Ostare/CN=servidor"), QStringLiteral("-config"),
         d + QLatin1String("/ca.cnf")});
    run(QStringLiteral("openssl"),
        {QStringLiteral("ca"), QStringLiteral("-batch"), QStringLiteral("-notext"), QStringLiteral("-config"),
         d + QLatin1String("/ca.cnf"), QStringLiteral("-extfile"), base + QLatin1String(".ext"),
         QStringLiteral("-extensions"), QStringLiteral("ext"), QStringLiteral("-in"), base + QLatin1String(".csr"),
         QStringLiteral("-out"), base + QLatin1String(".pem"), QStringLiteral("-startdate"), opensslTime(validFrom),
         QStringLiteral("-enddate"), opensslTime(validUntil)});
    return {base + QLatin1String(".key"), base + QLatin1String(".pem")};
}

QString TestCertificates::makePkcs12(const CertProfile& profile, const QString& password)
{
    const Pem pem = makePem(profile);
    QString p12 = pem.certificate;
    p12.replace(QLatin1String(".pem"), QLatin1String(".p12"));
    // The friendly name goes without ":", which NSS would read as a token name.
    run(QStringLiteral("openssl"),
        {QStringLiteral("pkcs12"), QStringLiteral("-export"), QStringLiteral("-inkey"), pem.key, QStringLiteral("-in"),
         pem.certificate, QStringLiteral("-name"), profile.name, QStringLiteral("-out"), p12,
         QStringLiteral("-passout"), QStringLiteral("pass:") + password});
    return p12;
}

QStringList TestCertificates::installStore(const QString& home, const QList<CertProfile>& profiles)
{
    const QString db = home + QLatin1String("/.pki/nssdb");
    QDir().mkpath(db);
    run(QStringLiteral("certutil"),
        {QStringLiteral("-N"), QStringLiteral("-d"), QStringLiteral("sql:") + db, QStringLiteral("--empty-password")});
    QStringList holders;
    for (const CertProfile& profile : profiles) {
        const QString p12 = makePkcs12(profile);
        run(QStringLiteral("pk12util"),
            {QStringLiteral("-i"), p12, QStringLiteral("-d"), QStringLiteral("sql:") + db, QStringLiteral("-W"),
             QStringLiteral("teste"), QStringLiteral("-K"), QString()});
        holders << profile.holder();
    }
    return holders;
}

QList<CertProfile> TestCertificates::standardSet()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    CertProfile company{QStringLiteral("EMPRESA TESTE LTDA"), companyCnpj};
    CertProfile accountant{QStringLiteral("JOSÉ DA CONCEIÇÃO"), accountantCpf};
    accountant.crlUrls = {QStringLiteral("http://127.0.0.1:9/lcr/ac-teste.crl")};
    CertProfile expired{QStringLiteral("EMPRESA VENCIDA LTDA"), QStringLiteral("11444777000161")};
    expired.validFrom = now.addYears(-3);
    expired.validUntil = now.addYears(-1);
    CertProfile expiring{QStringLiteral("EMPRESA A VENCER LTDA"), QStringLiteral("60470198000107")};
    expiring.validUntil = now.addDays(10);
    return {company, accountant, expired, expiring};
}

} // namespace tervalia::test
