#include "ReadWrite.h"

#include "text/Windows1252.h"

#include <QFile>
#include <QStringDecoder>

namespace tervalia {

namespace {
QString& iniPathSlot()
{
    static QString path;
    return path;
}

// The Windows reader fills a 255-character buffer, terminator included.
constexpr int maxValueLength = 254;

QString stripEnclosingQuotes(const QString& value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

QString decode(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError())
        return decodeWindows1252(bytes); // a hand-edited file in the old single-byte code page
    return text;
}

QString findValue(const QString& content, const QString& section, const QString& key)
{
    bool inSection = false;
    bool sectionSeen = false;
    const auto lines = QStringView(content).split(u'\n');
    for (QStringView raw : lines) {
        const QStringView line = raw.trimmed();
        if (line.startsWith(u'[')) {
            if (sectionSeen && inSection)
                return {};
            const qsizetype close = line.indexOf(u']');
            const QStringView name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
            inSection = name.compare(section.trimmed(), Qt::CaseInsensitive) == 0;
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection || line.isEmpty() || line.startsWith(u';'))
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        if (line.left(eq).trimmed().compare(key.trimmed(), Qt::CaseInsensitive) == 0)
            return stripEnclosingQuotes(line.mid(eq + 1).trimmed().toString());
    }
    return {};
}
} // namespace

QString IniPath()
{
    return iniPathSlot();
}

void setIniPath(const QString& path)
{
    iniPathSlot() = path;
}

QString valorConfiguracao(const QByteArray& conteudo, const QString& section, const QString& key)
{
    const QString value = findValue(decode(conteudo), section, key).left(maxValueLength);
    return value.size() < 2 ? QString() : value;
}

QString ReadFromFile(const QString& section, const QString& key)
{
    QFile file(IniPath());
    if (IniPath().isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    return valorConfiguracao(file.readAll(), section, key);
}

} // namespace tervalia
