#include "server/Seed.h"

#include "net/Servidor.h"
#include "server/Respostas.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

namespace tervalia::standin {

namespace {

[[noreturn]] void refuse(const QString& message)
{
    throw SeedError(message.toStdString());
}

// Texts that stand at fixed positions must keep their length once escaped, so they are plain ASCII
// without XML's special characters.
bool isPlainField(const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e || c == u'"' || c == u'&' || c == u'<' || c == u'>')
            return false;
    }
    return true;
}

QString text(const QJsonObject& o, const char* key, const QString& where)
{
    const QJsonValue v = o.value(QLatin1StringView(key));
    if (v.isUndefined() || v.isNull())
        return {};
    if (!v.isString())
        refuse(QStringLiteral("%1: \"%2\" deve ser um texto").arg(where, QLatin1StringView(key)));
    return v.toString();
}

QJsonArray array(const QJsonObject& o, const char* key, const QString& where)
{
    const QJsonValue v = o.value(QLatin1StringView(key));
    if (v.isUndefined())
        return {};
    if (!v.isArray())
        refuse(QStringLiteral("%1: \"%2\" deve ser uma lista").arg(where, QLatin1StringView(key)));
    return v.toArray();
}

QJsonObject object(const QJsonValue& v, const QString& where)
{
    if (!v.isObject())
        refuse(QStringLiteral("%1 deve ser um objeto").arg(where));
    return v.toObject();
}

SeedMensagem readMensagem(const QJsonValue& v, const QString& where)
{
    const QJsonObject o = object(v, where);
    SeedMensagem m{text(o, "protocolo", where), text(o, "detalhe", where)};
    if (m.detalhe.isEmpty())
        refuse(QStringLiteral("%1: falta \"detalhe\"").arg(where));
    return m;
}

SeedEntrega readEntrega(const QJsonValue& v, const QString& where)
{
    const QJsonObject o = object(v, where);
    SeedEntrega e;
    e.protocolo = text(o, "protocolo", where);
    e.referencia = text(o, "referencia", where);
    e.data = text(o, "data", where);
    e.adicionado = text(o, "adicionado", where);
    const QJsonValue status = o.value(QLatin1StringView("status"));
    if (!status.isDouble() || status.toDouble() != status.toInt())
        refuse(QStringLiteral("%1: \"status\" deve ser um número inteiro (1 ou 2)").arg(where));
    e.status = status.toInt();
    if (e.protocolo.isEmpty())
        refuse(QStringLiteral("%1: falta \"protocolo\"").arg(where));
    if (!QDateTime::fromString(e.data, QStringLiteral("dd/MM/yyyy HH:mm:ss")).isValid())
        refuse(QStringLiteral("%1: \"data\" deve ter a forma dd/mm/aaaa hh:mm:ss").arg(where));
    const QJsonArray mensagens = array(o, "mensagens", where);
    for (qsizetype i = 0; i < mensagens.size(); ++i)
        e.mensagens.append(readMensagem(mensagens[i], QStringLiteral("%1, mensagem %2").arg(where).arg(i + 1)));
    return e;
}

void checkEmpresa(const SeedEmpresa& e, const QString& where)
{
    if (e.ie.size() != 13)
        refuse(QStringLiteral("%1: \"ie\" deve ter 13 dígitos").arg(where));
    if (onlyDigits(e.cnpj).size() != 14)
        refuse(QStringLiteral("%1: \"cnpj\" deve ter 14 dígitos").arg(where));
    static const QRegularExpression chave(QStringLiteral("^[A-Za-z0-9]{%1}$").arg(servidor::chave::lenChave));
    if (!e.chave.isEmpty() && !chave.match(e.chave).hasMatch())
        refuse(QStringLiteral("%1: \"chave\" deve ter %2 letras ou dígitos").arg(where).arg(servidor::chave::lenChave));
    if (e.razaoSocial.isEmpty())
        refuse(QStringLiteral("%1: falta \"razaoSocial\"").arg(where));
}

SeedEmpresa readEmpresa(const QJsonValue& v, const QString& where)
{
    const QJsonObject o = object(v, where);
    SeedEmpresa e;
    e.ie = onlyDigits(text(o, "ie", where));
    e.cnpj = text(o, "cnpj", where);
    e.cnae = text(o, "cnae", where);
    e.chave = text(o, "chave", where);
    e.razaoSocial = text(o, "razaoSocial", where);
    const QJsonValue simples = o.value(QLatin1StringView("simples"));
    if (!simples.isUndefined() && !simples.isBool())
        refuse(QStringLiteral("%1: \"simples\" deve ser true ou false").arg(where));
    e.simples = simples.toBool();
    checkEmpresa(e, where);
    const QJsonArray entregas = array(o, "entregas", where);
    for (qsizetype i = 0; i < entregas.size(); ++i)
        e.entregas.append(readEntrega(entregas[i], QStringLiteral("%1, entrega %2").arg(where).arg(i + 1)));
    return e;
}

void checkUnique(const Seed& seed)
{
    QSet<QString> ies, chaves, protocolos;
    for (const SeedEmpresa& e : seed.empresas) {
        if (ies.contains(e.ie))
            refuse(QStringLiteral("IE repetida na semente: %1").arg(e.ie));
        ies.insert(e.ie);
        if (!e.chave.isEmpty() && chaves.contains(e.chave))
            refuse(QStringLiteral("chave repetida na semente: %1").arg(e.chave));
        chaves.insert(e.chave);
        for (const SeedEntrega& d : e.entregas) {
            if (protocolos.contains(d.protocolo))
                refuse(QStringLiteral("protocolo repetido na semente: %1").arg(d.protocolo));
            protocolos.insert(d.protocolo);
        }
    }
}

} // namespace

QString onlyDigits(QStringView text)
{
    QString digits;
    for (QChar c : text) {
        if (c >= u'0' && c <= u'9')
            digits += c;
    }
    return digits;
}

Seed parseSeed(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (doc.isNull())
        refuse(QStringLiteral("semente não é JSON válido: %1 (posição %2)").arg(error.errorString()).arg(error.offset));
    const QJsonObject root =
        object(doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(), QStringLiteral("a semente"));
    const QString where = QStringLiteral("semente");
    Seed seed;
    seed.anoTrabalho = text(root, "anoTrabalho", where);
    seed.versao = text(root, "versao", where);
    if (seed.anoTrabalho.size() != servidor::historico::lenAnoTrabalho || !isPlainField(seed.anoTrabalho))
        refuse(QStringLiteral("\"anoTrabalho\" deve ter %1 caracteres ASCII, por exemplo 2025/2026")
                   .arg(servidor::historico::lenAnoTrabalho));
    if (seed.versao.isEmpty() || seed.versao.size() > servidor::historico::lenVersao || !isPlainField(seed.versao))
        refuse(QStringLiteral("\"versao\" deve ter de 1 a %1 caracteres ASCII").arg(servidor::historico::lenVersao));
    const QJsonArray empresas = array(root, "empresas", where);
    for (qsizetype i = 0; i < empresas.size(); ++i)
        seed.empresas.append(readEmpresa(empresas[i], QStringLiteral("empresa %1").arg(i + 1)));
    checkUnique(seed);
    return seed;
}

Seed readSeed(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        refuse(QStringLiteral("não foi possível ler a semente %1: %2").arg(path, file.errorString()));
    return parseSeed(file.readAll());
}

} // namespace tervalia::standin
