#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace tervalia::test {

// What one test certificate carries. A 14-digit document makes an ICP-Brasil e-CNPJ (CNPJ in
// 2.16.76.1.3.3, the responsible person's CPF in 2.16.76.1.3.4), an 11-digit one an e-CPF (CPF in
// 2.16.76.1.3.1); the common name is always "name:document".
struct CertProfile
{
    CertProfile(QString n, QString d) : name(std::move(n)), document(std::move(d)) {}

    QString name;
    QString document;
    QString responsibleCpf = QStringLiteral("52998224725"); // e-CNPJ only
    QDateTime validFrom = QDateTime::currentDateTimeUtc().addYears(-1);
    QDateTime validUntil = QDateTime::currentDateTimeUtc().addYears(2);
    QStringList crlUrls;             // one distribution point with these URIs
    bool brokenCrlExtension = false; // a 2.5.29.31 extension that does not decode

    QString holder() const { return name + QLatin1Char(':') + document; }
};

// Certificates made with openssl from a test CA of their own, in a temporary folder, and NSS
// databases made from them with certutil and pk12util. Nothing here is kept after the test.
// Every failure of an outside tool throws std::runtime_error with its output.
class TestCertificates
{
public:
    TestCertificates();

    // Key and certificate (PEM files) for profile; returns their paths.
    struct Pem
    {
        QString key;
        QString certificate;
    };
    Pem makePem(const CertProfile& profile);
    // A server's key and certificate (PEM) from the same authority: subjectAltName as openssl
    // writes it ("DNS:localhost,IP:127.0.0.1").
    Pem makeServerPem(const QString& altNames, const QDateTime& validFrom, const QDateTime& validUntil);
    QString authority() const { return m_dir.filePath(QStringLiteral("ca.pem")); }
    // A PKCS#12 file holding the certificate and its key.
    QString makePkcs12(const CertProfile& profile, const QString& password = QStringLiteral("teste"));

    // Creates home/.pki/nssdb without a password, imports every certificate with its key, and
    // returns the holders (common names) in that order.
    QStringList installStore(const QString& home, const QList<CertProfile>& profiles);

    // The usual set: a company's e-CNPJ without a CRL distribution point, the accountant's e-CPF
    // with one, an expired e-CNPJ, and one that expires in 10 days.
    static QList<CertProfile> standardSet();
    static inline const QString companyCnpj = QStringLiteral("11222333000181");
    static inline const QString accountantCpf = QStringLiteral("12345678909");

    // Runs an outside program; throws with its output when it fails.
    static QByteArray run(const QString& program, const QStringList& arguments, const QByteArray& input = {},
                          const QStringList& environment = {});

    QString dir() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    int m_count = 0;
};

} // namespace tervalia::test
