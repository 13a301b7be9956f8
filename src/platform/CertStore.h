#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <stdexcept>

// The user's certificate store: the NSS database of the user's home (the one browsers share), the
// PKCS#11 modules registered in it and, when installed, the tokens p11-kit offers. This is the only
// place that talks to NSS; everything it hands out is a plain value.
namespace tervalia::certstore {

// One certificate that has its private key in the store or on a token.
struct Certificate
{
    QByteArray der;                  // the whole certificate, DER-encoded
    QDateTime validFrom;             // UTC
    QDateTime validUntil;            // UTC
    bool hasCrlDistributionPoints{}; // extension 2.5.29.31 present
    QString subject;                 // as text, e.g. "CN=EMPRESA:11222333000181,O=ICP-Brasil"
    QString issuer;
    QString holder;     // the subject's common name
    QString issuerName; // the issuer's common name, or its organisation
    QString document;   // the CNPJ or CPF digits the certificate carries; empty when none
    QString token;      // the token (or database) that holds it

    // The whole certificate in Base64, in lines of 64 characters each ending in CR LF.
    QString base64Export() const;
    // Whole days from now until the end of validity; negative once it has expired.
    qint64 daysLeft(const QDateTime& now = QDateTime::currentDateTimeUtc()) const;
};

// The store cannot be used at all: NSS failed to start, or the database is unreadable or damaged.
class StoreError : public std::runtime_error
{
public:
    StoreError(QString description, qint32 code);
    const QString& description() const { return m_description; }
    qint32 code() const { return m_code; }

private:
    QString m_description;
    qint32 m_code;
};

// A certificate file that was not imported; the store is as it was.
class ImportError : public std::runtime_error
{
public:
    ImportError(QString description, qint32 code);
    const QString& description() const { return m_description; }
    qint32 code() const { return m_code; }

private:
    QString m_description;
    qint32 m_code;
};

// A token (or a database protected by a password) asks for its PIN.
struct PinRequest
{
    QString token;
    bool wrongPin{};     // the PIN just given for this token was refused
    bool fewTriesLeft{}; // the token warns that few tries are left
    bool finalTry{};     // one more wrong PIN locks the token
};
// The answer: the PIN, or nothing to leave that token out.
using PinCallback = std::function<std::optional<QString>(const PinRequest&)>;

struct Listing
{
    QList<Certificate> certificates;
    QStringList notices; // in Portuguese: tokens that are locked or could not be read
};

// The database directory: $HOME/.pki/nssdb when it exists, else $HOME/.local/share/pki/nssdb when
// that exists, else empty. HOME is read at every call.
QString databaseDir();

// Every certificate with a private key, once each (by DER bytes), in the order found. A missing
// database is an empty store, not an error; tokens offered by p11-kit are listed all the same.
// Tokens that need a login ask through pin, each at most once. Throws StoreError.
Listing list(const PinCallback& pin);

// Imports a PKCS#12 file (.pfx, .p12) into the user's database, creating the database (without a
// password) when there is none. Returns the imported certificate that has its key. A wrong
// password or a damaged file throws ImportError before anything is written; StoreError when the
// database cannot be opened.
Certificate importPkcs12(const QString& file, const QString& password, const PinCallback& pin);

// The addresses of the certificate's CRL distribution points (URI names only).
struct CrlUrls
{
    QStringList urls;
    qint32 error = 0; // the NSS error code when the extension could not be read
    bool ok() const { return error == 0; }
};
CrlUrls crlUrls(const QByteArray& der);

// Reads one certificate from its DER bytes, without any store; nothing when it does not decode.
std::optional<Certificate> decode(const QByteArray& der);

// The p11-kit proxy module loaded beside the database's own modules; tests set an empty path to
// leave it out. Defaults to /usr/lib/x86_64-linux-gnu/p11-kit-proxy.so (skipped when missing).
QString p11KitProxyPath();
void setP11KitProxyPathForTests(const QString& path);

} // namespace tervalia::certstore
