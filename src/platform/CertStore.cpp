#include "CertStoreNss.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <cstring>

namespace tervalia::certstore {

using namespace nss;

namespace {

QString defaultProxyPath()
{
    return QStringLiteral("/usr/lib/x86_64-linux-gnu/p11-kit-proxy.so");
}

std::optional<QString>& proxyOverride()
{
    static std::optional<QString> path;
    return path;
}

// The p11-kit proxy, loaded for one context unless the database already registers it.
class ProxyModule
{
public:
    ProxyModule()
    {
        const QString path = p11KitProxyPath();
        if (path.isEmpty() || !QFile::exists(path) || alreadyRegistered(path))
            return;
        QByteArray moduleConfig = "library=\"" + QFile::encodeName(path) + "\" name=\"tervalia-p11-kit-proxy\"";
        m_module = SECMOD_LoadUserModule(moduleConfig.data(), nullptr, PR_FALSE);
        if (m_module && !m_module->loaded) {
            SECMOD_DestroyModule(m_module);
            m_module = nullptr;
        }
    }
    ~ProxyModule()
    {
        if (!m_module)
            return;
        SECMOD_UnloadUserModule(m_module);
        SECMOD_DestroyModule(m_module);
    }
    ProxyModule(const ProxyModule&) = delete;
    ProxyModule& operator=(const ProxyModule&) = delete;

private:
    static bool alreadyRegistered(const QString& path)
    {
        bool found = false;
        SECMODListLock* lock = SECMOD_GetDefaultModuleListLock();
        SECMOD_GetReadLock(lock);
        for (SECMODModuleList* m = SECMOD_GetDefaultModuleList(); m; m = m->next) {
            const QString dll = m->module->dllName ? QFile::decodeName(m->module->dllName) : QString();
            if (!dll.isEmpty() && (dll == path || dll.endsWith(QLatin1String("p11-kit-proxy.so"))))
                found = true;
        }
        SECMOD_ReleaseReadLock(lock);
        return found;
    }

    SECMODModule* m_module = nullptr;
};

// The database directory when it holds a database; empty when there is none to read.
QString existingDatabase()
{
    const QString dir = databaseDir();
    if (dir.isEmpty() || !QFile::exists(dir + QLatin1String("/cert9.db")))
        return {};
    return dir;
}

// What tells two views of the same token apart from other tokens.
QByteArray tokenIdentity(const CK_TOKEN_INFO& info)
{
    auto field = [](const CK_UTF8CHAR* text, size_t size) {
        return QByteArray(reinterpret_cast<const char*>(text), int(size));
    };
    return field(info.label, sizeof info.label) + '|' + field(info.manufacturerID, sizeof info.manufacturerID) + '|' +
           field(info.model, sizeof info.model) + '|' + field(info.serialNumber, sizeof info.serialNumber);
}

QString lockedNotice(const QString& token)
{
    return QStringLiteral("O dispositivo “%1” está bloqueado: o PIN foi digitado errado vezes demais. Seus "
                          "certificados não aparecem na lista; procure o fornecedor do certificado para "
                          "desbloqueá-lo.")
        .arg(token);
}

// Logs into every token that hides its certificates until then. A token seen through two modules
// (the database's own and p11-kit's) is asked once; a cancelled one is left out.
void logIn(PK11SlotList* tokens, PinSession& session, QStringList& notices)
{
    QHash<QByteArray, std::optional<QString>> asked;
    for (PK11SlotListElement* e = tokens ? tokens->head : nullptr; e; e = e->next) {
        PK11SlotInfo* slot = e->slot;
        if (PK11_IsInternal(slot) || PK11_IsFriendly(slot) || !PK11_NeedLogin(slot) || PK11_IsLoggedIn(slot, &session))
            continue;
        CK_TOKEN_INFO info;
        if (PK11_GetTokenInfo(slot, &info) != SECSuccess)
            continue; // removed meanwhile
        const QByteArray id = tokenIdentity(info);
        const bool seen = asked.contains(id);
        if (info.flags & CKF_USER_PIN_LOCKED) {
            if (!seen)
                notices << lockedNotice(tokenName(slot));
            asked.insert(id, std::nullopt);
            continue;
        }
        if (seen) {
            if (const auto& pin = asked.value(id))
                PK11_CheckUserPassword(slot, pin->toUtf8().constData());
            continue;
        }
        session.asking = true;
        session.locked = false;
        session.lastPin.reset();
        const SECStatus rv = PK11_Authenticate(slot, PR_TRUE, &session);
        session.asking = false;
        asked.insert(id, rv == SECSuccess ? session.lastPin : std::nullopt);
        if (rv != SECSuccess && (session.locked || PORT_GetError() == SEC_ERROR_LOCKED_PASSWORD))
            notices << lockedNotice(tokenName(slot));
    }
}

// The content of a DER value: the tag and length skipped, an explicit [0] wrapper unwrapped.
QByteArray derContent(QByteArray der)
{
    for (int round = 0; round < 2; ++round) {
        if (der.size() < 2)
            return {};
        const auto tag = quint8(der[0]);
        int length = quint8(der[1]);
        int start = 2;
        if (length & 0x80) {
            const int n = length & 0x7f;
            if (n < 1 || n > 3 || der.size() < 2 + n)
                return {};
            length = 0;
            for (int i = 0; i < n; ++i)
                length = (length << 8) | quint8(der[2 + i]);
            start = 2 + n;
        }
        if (start + length > der.size())
            return {};
        der = der.mid(start, length);
        if (tag != 0xA0)
            return der;
    }
    return der;
}

QString digitsOnly(const QString& text)
{
    QString digits;
    for (QChar c : text) {
        if (c >= u'0' && c <= u'9')
            digits += c;
    }
    return digits;
}

// ICP-Brasil names: 2.16.76.1.3.3 holds the company's CNPJ; 2.16.76.1.3.1 holds the birth date
// and then the CPF (characters 9 to 19). Without them, the CN's digits after ":".
QString documentOf(CERTCertificate* cert, const QString& holder)
{
    QString cnpj, cpf;
    SECItem san{siBuffer, nullptr, 0};
    if (CERT_FindCertExtension(cert, SEC_OID_X509_SUBJECT_ALT_NAME, &san) == SECSuccess) {
        PLArenaPool* arena = PORT_NewArena(DER_DEFAULT_CHUNKSIZE);
        CERTGeneralName* head = arena ? CERT_DecodeAltNameExtension(arena, &san) : nullptr;
        for (CERTGeneralName* g = head; g;) {
            if (g->type == certOtherName) {
                char* oidText = CERT_GetOidString(&g->name.OthName.oid);
                const QString oid = oidText ? QString::fromLatin1(oidText) : QString();
                if (oidText)
                    PR_smprintf_free(oidText);
                const QString value = QString::fromLatin1(derContent(bytesOf(g->name.OthName.name)));
                if (oid.endsWith(QLatin1String("2.16.76.1.3.3")))
                    cnpj = digitsOnly(value);
                else if (oid.endsWith(QLatin1String("2.16.76.1.3.1")))
                    cpf = digitsOnly(value.mid(8, 11));
            }
            g = CERT_GetNextGeneralName(g);
            if (g == head)
                break;
        }
        if (arena)
            PORT_FreeArena(arena, PR_FALSE);
        SECITEM_FreeItem(&san, PR_FALSE);
    }
    if (!cnpj.isEmpty())
        return cnpj;
    if (!cpf.isEmpty())
        return cpf;
    const qsizetype colon = holder.lastIndexOf(u':');
    return colon < 0 ? QString() : digitsOnly(holder.mid(colon + 1));
}

} // namespace

namespace nss {

char* pinFunction(PK11SlotInfo* slot, PRBool retry, void* arg)
{
    auto* session = static_cast<PinSession*>(arg);
    if (!session || !session->asking || !session->callback || !*session->callback)
        return nullptr;
    PinRequest request{tokenName(slot), retry == PR_TRUE, false, false};
    CK_TOKEN_INFO info;
    if (PK11_GetTokenInfo(slot, &info) == SECSuccess) {
        if (info.flags & CKF_USER_PIN_LOCKED) {
            session->locked = true;
            return nullptr;
        }
        request.fewTriesLeft = info.flags & CKF_USER_PIN_COUNT_LOW;
        request.finalTry = info.flags & CKF_USER_PIN_FINAL_TRY;
    }
    session->lastPin = (*session->callback)(request);
    if (!session->lastPin)
        return nullptr;
    return PORT_Strdup(session->lastPin->toUtf8().constData());
}

Certificate describe(CERTCertificate* cert)
{
    Certificate c;
    c.der = bytesOf(cert->derCert);
    PRTime from = 0, until = 0;
    if (CERT_GetCertTimes(cert, &from, &until) == SECSuccess) {
        c.validFrom = fromPrTime(from);
        c.validUntil = fromPrTime(until);
    }
    SECItem ext{siBuffer, nullptr, 0};
    if (CERT_FindCertExtension(cert, SEC_OID_X509_CRL_DIST_POINTS, &ext) == SECSuccess) {
        c.hasCrlDistributionPoints = true;
        SECITEM_FreeItem(&ext, PR_FALSE);
    }
    c.subject = QString::fromUtf8(cert->subjectName);
    c.issuer = QString::fromUtf8(cert->issuerName);
    c.holder = takeString(CERT_GetCommonName(&cert->subject));
    c.issuerName = takeString(CERT_GetCommonName(&cert->issuer));
    if (c.issuerName.isEmpty())
        c.issuerName = takeString(CERT_GetOrgName(&cert->issuer));
    c.document = documentOf(cert, c.holder);
    if (cert->slot)
        c.token = tokenName(cert->slot);
    return c;
}

} // namespace nss

StoreError::StoreError(QString description, qint32 code)
    : std::runtime_error(description.toStdString()), m_description(std::move(description)), m_code(code)
{
}

ImportError::ImportError(QString description, qint32 code)
    : std::runtime_error(description.toStdString()), m_description(std::move(description)), m_code(code)
{
}

QString Certificate::base64Export() const
{
    const QByteArray b64 = der.toBase64();
    QString text;
    for (qsizetype i = 0; i < b64.size(); i += 64)
        text += QString::fromLatin1(b64.mid(i, 64)) + QLatin1String("\r\n");
    return text;
}

qint64 Certificate::daysLeft(const QDateTime& now) const
{
    const qint64 secs = now.secsTo(validUntil);
    return secs >= 0 ? secs / 86400 : -((-secs + 86399) / 86400);
}

QString databaseDir()
{
    const QString home = QDir::homePath();
    for (const char* candidate : {"/.pki/nssdb", "/.local/share/pki/nssdb"}) {
        const QString dir = home + QLatin1String(candidate);
        if (QFileInfo(dir).isDir())
            return dir;
    }
    return {};
}

QString p11KitProxyPath()
{
    return proxyOverride().value_or(defaultProxyPath());
}

void setP11KitProxyPathForTests(const QString& path)
{
    proxyOverride() = path;
}

Listing list(const PinCallback& pin)
{
    Listing listing;
    Context context(existingDatabase(), true);
    PK11_SetPasswordFunc(pinFunction);
    ProxyModule proxy;
    PinSession session;
    session.callback = &pin;
    {
        PK11SlotList* tokens = PK11_GetAllTokens(CKM_INVALID_MECHANISM, PR_FALSE, PR_FALSE, &session);
        logIn(tokens, session, listing.notices);
        if (tokens)
            PK11_FreeSlotList(tokens);
    }
    CERTCertList* certs = PK11_ListCerts(PK11CertListUser, &session);
    QSet<QByteArray> seen;
    for (CERTCertListNode* n = certs ? CERT_LIST_HEAD(certs) : nullptr; n && !CERT_LIST_END(n, certs);
         n = CERT_LIST_NEXT(n)) {
        Certificate c = describe(n->cert);
        if (seen.contains(c.der))
            continue;
        seen.insert(c.der);
        listing.certificates.append(std::move(c));
    }
    if (certs)
        CERT_DestroyCertList(certs);
    return listing;
}

std::optional<Certificate> decode(const QByteArray& der)
{
    Context context({}, true);
    CertPtr cert = decodeDer(der);
    if (!cert)
        return std::nullopt;
    return describe(cert.get());
}

CrlUrls crlUrls(const QByteArray& der)
{
    CrlUrls result;
    Context context({}, true);
    CertPtr cert = decodeDer(der);
    if (!cert) {
        result.error = lastError(SEC_ERROR_BAD_DER);
        return result;
    }
    SECItem ext{siBuffer, nullptr, 0};
    if (CERT_FindCertExtension(cert.get(), SEC_OID_X509_CRL_DIST_POINTS, &ext) != SECSuccess) {
        result.error = lastError(SEC_ERROR_EXTENSION_NOT_FOUND);
        return result;
    }
    PLArenaPool* arena = PORT_NewArena(DER_DEFAULT_CHUNKSIZE);
    CERTCrlDistributionPoints* points = arena ? CERT_DecodeCRLDistributionPoints(arena, &ext) : nullptr;
    if (!points)
        result.error = lastError(SEC_ERROR_EXTENSION_VALUE_INVALID);
    for (CRLDistributionPoint** p = points ? points->distPoints : nullptr; p && *p; ++p) {
        if ((*p)->distPointType != generalName)
            continue;
        CERTGeneralName* head = (*p)->distPoint.fullName;
        for (CERTGeneralName* g = head; g;) {
            if (g->type == certURI)
                result.urls << QString::fromUtf8(bytesOf(g->name.other));
            g = CERT_GetNextGeneralName(g);
            if (g == head)
                break;
        }
    }
    if (arena)
        PORT_FreeArena(arena, PR_FALSE);
    SECITEM_FreeItem(&ext, PR_FALSE);
    return result;
}

} // namespace tervalia::certstore
