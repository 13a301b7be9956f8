#include "UrlHelper.h"

#include <QRegularExpression>

namespace tervalia {

namespace {
// The port is read as a 16-bit number: blanks around it are allowed ("8080 " is 8080, the upload
// address carries such a blank), text that is not a number reads as 0, and a number beyond the
// range is an error rather than a wrapped value.
qint32 readPort(QStringView text)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+$"));
    const QString trimmed = text.trimmed().toString();
    if (!number.match(trimmed).hasMatch())
        return 0;
    bool ok = false;
    const int value = trimmed.toInt(&ok);
    if (!ok || value < -32768 || value > 32767)
        throw UrlError(
            QStringLiteral("A porta \"%1\" do endereço está fora do intervalo aceito (-32768 a 32767).").arg(trimmed));
    return value;
}
} // namespace

UrlError::UrlError(QString description)
    : std::runtime_error(description.toStdString()), m_description(std::move(description))
{
}

UrlParts SplitUrl(const QString& address)
{
    UrlParts parts;
    QStringView rest(address);
    if (const qsizetype scheme = rest.indexOf(u"://"); scheme >= 0) {
        parts.Scheme = rest.left(scheme).toString();
        rest = rest.mid(scheme + 3);
    }

    const qsizetype colon = rest.indexOf(u':');
    const qsizetype slash = rest.indexOf(u'/');
    const QStringView hostAndPort = slash < 0 ? rest : rest.left(slash);
    if (colon >= 0 && (slash < 0 || colon < slash)) {
        parts.Host = rest.left(colon).toString();
        parts.Port = readPort(hostAndPort.mid(colon + 1));
    } else {
        parts.Host = hostAndPort.toString();
    }
    if (slash < 0) {
        parts.Path = QStringLiteral("/");
        return parts;
    }

    const QStringView pathAndQuery = rest.mid(slash);
    const qsizetype question = pathAndQuery.indexOf(u'?');
    parts.Path = pathAndQuery.left(question < 0 ? pathAndQuery.size() : question).toString();
    if (question >= 0)
        parts.Query = pathAndQuery.mid(question + 1).toString();
    return parts;
}

} // namespace tervalia
