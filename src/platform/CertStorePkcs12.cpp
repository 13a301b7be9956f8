#include "CertStoreNss.h"

#include <QDir>
#include <QFile>

#include <cstring>

// Importing an A1 certificate file (PKCS#12) into the user's database.
namespace tervalia::certstore {

using namespace nss;

namespace {

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

Certificate importPkcs12(const QString& file, const QString& password, const PinCallback& pin)
{
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly))
        throw ImportError(QStringLiteral("Não foi possível ler o arquivo “%1”: %2.").arg(file, input.errorString()),
                          PR_FILE_NOT_FOUND_ERROR);
    // A1 files are a few kilobytes; a large file was chosen by mistake and is not read whole.
    constexpr qint64 maxSize = 1024 * 1024;
    if (input.size() > maxSize)
        throw ImportError(QStringLiteral("O arquivo “%1” é grande demais para ser um certificado A1 (.pfx ou .p12). "
                                         "Nenhum certificado foi importado.")
                              .arg(file),
                          SEC_ERROR_BAD_DER);
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

} // namespace tervalia::certstore
