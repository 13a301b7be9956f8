#include "CertStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

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

#include <cstring>
#include <memory>

namespace tervalia::certstore {

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

qint32 lastError(qint32 fallback = SEC_ERROR_LIBRARY_FAILURE)
{
    const qint32 code = PORT_GetError();
    return code != 0 ? code : fallback;
}

// Strings NSS allocates with PORT_Alloc, taken over and freed.
QString takeString(char* text)
{
    if (!text)
        return {};
    QString result = QString::fromUtf8(text);
    PORT_Free(text);
    return result;
}

QByteArray bytesOf(const SECItem& item)
{
    return QByteArray(reinterpret_cast<const char*>(item.data), int(item.len));
}

SECItem itemOf(const QByteArray& bytes)
{
    return SECItem{siBuffer, reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.constData())),
                   unsigned(bytes.size())};
}

QDateTime fromPrTime(PRTime t)
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

// The p11-kit proxy, loaded for one context unless the database already registers it.
class ProxyModule
{
public:
    ProxyModule()
    {
        const QString path = p11KitProxyPath();
        if (path.isEmpty() || !QFile::exists(path) || alreadyRegistered(path))
            return;
        QByteArray spec = "library=\"" + QFile::encodeName(path) + "\" name=\"tervalia-p11-kit-proxy\"";
        m_module = SECMOD_LoadUserModule(spec.data(), nullptr, PR_FALSE);
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

// What a token calls itself, and what tells two views of the same token apart from others.
QString tokenName(PK11SlotInfo* slot)
{
    return QString::fromUtf8(PK11_GetTokenName(slot)).trimmed();
}

QByteArray tokenIdentity(const CK_TOKEN_INFO& info)
{
    auto field = [](const CK_UTF8CHAR* text, size_t size) {
        return QByteArray(reinterpret_cast<const char*>(text), int(size));
    };
    return field(info.label, sizeof info.label) + '|' + field(info.manufacturerID, sizeof info.manufacturerID) + '|' +
           field(info.model, sizeof info.model) + '|' + field(info.serialNumber, sizeof info.serialNumber);
}

// State of one listing, handed to NSS as the password argument. Only logins this file starts may
// ask the user; any other request NSS makes on its own gets no PIN.
struct PinSession
{
    const PinCallback* callback = nullptr;
    bool asking = false;
    bool locked = false;
    std::optional<QString> lastPin;
};

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

struct CertDeleter
{
    void operator()(CERTCertificate* c) const { CERT_DestroyCertificate(c); }
};
using CertPtr = std::unique_ptr<CERTCertificate, CertDeleter>;

CertPtr decodeDer(const QByteArray& der)
{
    SECItem item = itemOf(der);
    return CertPtr(CERT_NewTempCertificate(CERT_GetDefaultCertDB(), &item, nullptr, PR_FALSE, PR_TRUE));
}

// The password as PKCS#12 wants it: UCS-2 big-endian with a two-byte terminator.
QByteArray ucs2Password(const QString& password)
{
    QByteArray utf8 = password.toUtf8();
    QByteArray out((utf8.size() + 1) * 2 + 2, '\0');
    unsigned int length = 0;
    if (!PORT_UCS2_UTF8Conversion(PR_TRUE, reinterpret_cast<unsigned char*>(utf8.data()), unsigned(utf8.size() + 1),
                                  reinterpret_cast<unsigned char*>(out.data()), unsigned(out.size()), &length))
        return {};
    out.resize(int(length));
    return out;
}

[[noreturn]] void failImport(qint32 code)
{
    if (code == SEC_ERROR_BAD_PASSWORD || code == SEC_ERROR_PKCS12_INVALID_MAC)
        throw ImportError(QStringLiteral("A senha do arquivo de certificado está incorreta. Nenhum certificado foi "
                                         "importado."),
                          code);
    throw ImportError(QStringLiteral("O arquivo não é um certificado A1 válido (.pfx ou .p12) ou está danificado. "
                                     "Nenhum certificado foi importado (erro %1 do NSS).")
                          .arg(code),
                      code);
}

// Names without ":" (NSS reads "a:b" as token a, certificate b), taken from the common name when
// the file names none.
SECItem* nicknameFor(SECItem* oldNickname, PRBool* cancel, void* arg)
{
    *cancel = PR_FALSE;
    QString name = oldNickname && oldNickname->data && oldNickname->len
                       ? QString::fromUtf8(reinterpret_cast<const char*>(oldNickname->data), int(oldNickname->len))
                       : QString();
    if (name.isEmpty() && arg)
        name = takeString(CERT_GetCommonName(&static_cast<CERTCertificate*>(arg)->subject));
    if (!name.contains(u':') && oldNickname && oldNickname->len)
        return nullptr;
    name.replace(u':', u' ');
    if (name.trimmed().isEmpty())
        name = QStringLiteral("Certificado importado");
    const QByteArray utf8 = name.trimmed().toUtf8();
    SECItem* item = SECITEM_AllocItem(nullptr, nullptr, unsigned(utf8.size()));
    if (item)
        std::memcpy(item->data, utf8.constData(), size_t(utf8.size()));
    return item;
}

// Decodes and checks the file against the password; imports it into slot when asked to. Returns
// the DER bytes of the certificate that comes with its key.
QByteArray readPkcs12(const QByteArray& data, QByteArray password, PK11SlotInfo* slot, bool import)
{
    SECItem pw = itemOf(password);
    SEC_PKCS12DecoderContext* dcx =
        SEC_PKCS12DecoderStart(&pw, slot, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!dcx)
        failImport(lastError());
    auto finish =
        std::unique_ptr<SEC_PKCS12DecoderContext, void (*)(SEC_PKCS12DecoderContext*)>(dcx, SEC_PKCS12DecoderFinish);
    QByteArray copy = data;
    if (SEC_PKCS12DecoderUpdate(dcx, reinterpret_cast<unsigned char*>(copy.data()), copy.size()) != SECSuccess)
        failImport(lastError(SEC_ERROR_BAD_DER));
    if (SEC_PKCS12DecoderVerify(dcx) != SECSuccess)
        failImport(lastError(SEC_ERROR_BAD_DER));
    QByteArray leaf;
    if (!import) {
        const SEC_PKCS12DecoderItem* item = nullptr;
        if (SEC_PKCS12DecoderIterateInit(dcx) == SECSuccess) {
            while (SEC_PKCS12DecoderIterateNext(dcx, &item) == SECSuccess) {
                if (item->type == SEC_OID_PKCS12_V1_CERT_BAG_ID && item->hasKey && item->der && leaf.isEmpty())
                    leaf = bytesOf(*item->der);
            }
        }
        if (leaf.isEmpty())
            throw ImportError(QStringLiteral("O arquivo não contém um certificado com a sua chave privada. Nenhum "
                                             "certificado foi importado."),
                              SEC_ERROR_PKCS12_UNABLE_TO_IMPORT_KEY);
        return leaf;
    }
    if (SEC_PKCS12DecoderValidateBags(dcx, nicknameFor) != SECSuccess ||
        SEC_PKCS12DecoderImportBags(dcx) != SECSuccess) {
        const qint32 code = lastError();
        throw ImportError(QStringLiteral("O certificado não pôde ser gravado no repositório do usuário (erro %1 do "
                                         "NSS).")
                              .arg(code),
                          code);
    }
    return {};
}

} // namespace

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

Certificate importPkcs12(const QString& file, const QString& password, const PinCallback& pin)
{
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly))
        throw ImportError(QStringLiteral("Não foi possível ler o arquivo “%1”: %2.").arg(file, input.errorString()),
                          PR_FILE_NOT_FOUND_ERROR);
    const QByteArray data = input.readAll();
    const QByteArray pw = ucs2Password(password);

    // The file and its password are checked before any database is touched or created.
    QByteArray leaf;
    {
        Context probe({}, true);
        PK11SlotInfo* slot = PK11_GetInternalSlot();
        try {
            leaf = readPkcs12(data, pw, slot, false);
        } catch (...) {
            PK11_FreeSlot(slot);
            throw;
        }
        PK11_FreeSlot(slot);
    }

    QString dir = databaseDir();
    if (dir.isEmpty()) {
        dir = QDir::homePath() + QLatin1String("/.pki/nssdb");
        if (!QDir().mkpath(dir))
            throw StoreError(QStringLiteral("Não foi possível criar o repositório de certificados em %1.").arg(dir),
                             PR_DIRECTORY_OPEN_ERROR);
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QString token;
    {
        Context context(dir, false);
        PK11_SetPasswordFunc(pinFunction);
        PK11SlotInfo* slot = PK11_GetInternalKeySlot();
        token = tokenName(slot);
        PinSession session;
        session.callback = &pin;
        try {
            if (PK11_NeedUserInit(slot) && PK11_InitPin(slot, nullptr, "") != SECSuccess)
                throw StoreError(
                    QStringLiteral("Não foi possível preparar o repositório de certificados em %1.").arg(dir),
                    lastError());
            if (PK11_NeedLogin(slot) && !PK11_IsLoggedIn(slot, &session)) {
                session.asking = true;
                const SECStatus rv = PK11_Authenticate(slot, PR_TRUE, &session);
                session.asking = false;
                if (rv != SECSuccess)
                    throw ImportError(QStringLiteral("Sem a senha do repositório de certificados nada foi importado."),
                                      lastError(SEC_ERROR_BAD_PASSWORD));
            }
            readPkcs12(data, pw, slot, true);
        } catch (...) {
            PK11_FreeSlot(slot);
            throw;
        }
        PK11_FreeSlot(slot);
    }
    std::optional<Certificate> imported = decode(leaf);
    if (!imported)
        throw ImportError(QStringLiteral("O certificado importado não pôde ser lido."), SEC_ERROR_BAD_DER);
    imported->token = token;
    return *imported;
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
