#pragma once

// Shared by the sources of the certificate store, and included by them only: the NSS headers and
// the small helpers around them.

#include "CertStore.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>

// NSS names a structure field "slots", which Qt defines as a keyword.
#undef slots
#include <cert.h>
#include <nss.h>
#include <p12.h>
#include <pk11pub.h>
#include <prerror.h>
#include <prprf.h>
#include <secerr.h>
#include <secmod.h>
#include <secport.h>

#include <memory>
#include <optional>

namespace tervalia::certstore::nss {

inline qint32 lastError(qint32 fallback = SEC_ERROR_LIBRARY_FAILURE)
{
    const qint32 code = PORT_GetError();
    return code != 0 ? code : fallback;
}

// Strings NSS allocates with PORT_Alloc, taken over and freed.
inline QString takeString(char* text)
{
    if (!text)
        return {};
    QString result = QString::fromUtf8(text);
    PORT_Free(text);
    return result;
}

inline QByteArray bytesOf(const SECItem& item)
{
    return QByteArray(reinterpret_cast<const char*>(item.data), int(item.len));
}

inline SECItem itemOf(const QByteArray& bytes)
{
    return SECItem{siBuffer, reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.constData())),
                   unsigned(bytes.size())};
}

inline QDateTime fromPrTime(PRTime t)
{
    return QDateTime::fromMSecsSinceEpoch(t / PR_USEC_PER_MSEC, Qt::UTC);
}

// One NSS context, open while this lives. An empty dir starts NSS without any database.
class Context
{
public:
    Context(const QString& dir, bool readOnly)
    {
        PRUint32 flags = NSS_INIT_NOROOTINIT;
        QByteArray config;
        if (dir.isEmpty())
            flags |= NSS_INIT_NOCERTDB | NSS_INIT_NOMODDB | NSS_INIT_READONLY;
        else {
            config = QByteArray("sql:") + QFile::encodeName(dir);
            if (readOnly)
                flags |= NSS_INIT_READONLY;
        }
        m_context = NSS_InitContext(config.constData(), "", "", "", nullptr, flags);
        if (!m_context) {
            const qint32 code = lastError(SEC_ERROR_BAD_DATABASE);
            throw StoreError(QStringLiteral("Não foi possível abrir o repositório de certificados do usuário "
                                            "(%1): erro %2 do NSS.")
                                 .arg(dir.isEmpty() ? QStringLiteral("sem banco de dados") : dir)
                                 .arg(code),
                             code);
        }
    }
    ~Context() { NSS_ShutdownContext(m_context); }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

private:
    NSSInitContext* m_context = nullptr;
};

// What a token calls itself.
inline QString tokenName(PK11SlotInfo* slot)
{
    return QString::fromUtf8(PK11_GetTokenName(slot)).trimmed();
}

// State of one listing, handed to NSS as the password argument. Only logins this store starts may
// ask the user; any other request NSS makes on its own gets no PIN.
struct PinSession
{
    const PinCallback* callback = nullptr;
    bool asking = false;
    bool locked = false;
    std::optional<QString> lastPin;
};

// The password function NSS calls for logins; asks through the session's callback.
char* pinFunction(PK11SlotInfo* slot, PRBool retry, void* arg);

// The plain value of a certificate NSS holds.
Certificate describe(CERTCertificate* cert);

struct CertDeleter
{
    void operator()(CERTCertificate* c) const { CERT_DestroyCertificate(c); }
};
using CertPtr = std::unique_ptr<CERTCertificate, CertDeleter>;

inline CertPtr decodeDer(const QByteArray& der)
{
    SECItem item = itemOf(der);
    return CertPtr(CERT_NewTempCertificate(CERT_GetDefaultCertDB(), &item, nullptr, PR_FALSE, PR_TRUE));
}
} // namespace tervalia::certstore::nss
