#include "Enc64.h"

namespace tervalia {

namespace {
quint32 sixBits(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'A' && u <= u'Z')
        return u - u'A';
    if (u >= u'a' && u <= u'z')
        return u - u'a' + 26;
    if (u >= u'0' && u <= u'9')
        return u - u'0' + 52;
    if (u == u'+')
        return 62;
    if (u == u'/')
        return 63;
    return 0;
}

qsizetype padding(const QString& text)
{
    if (text.contains(QLatin1String("==")))
        return 2;
    return text.contains(u'=') ? 1 : 0;
}
} // namespace

Base64Error::Base64Error()
    : std::runtime_error("Input string is not valid Base64."), m_number(-2147221504),
      m_source(QStringLiteral("MyDecode")), m_description(QStringLiteral("Input string is not valid Base64."))
{
}

QByteArray MyDecode(QString& text)
{
    text.remove(u'\r');
    text.remove(u'\n');
    if (text.size() % 4 != 0)
        throw Base64Error();

    QByteArray out;
    out.reserve(text.size() / 4 * 3);
    for (qsizetype i = 0; i < text.size(); i += 4) {
        const quint32 group = (sixBits(text[i]) << 18) | (sixBits(text[i + 1]) << 12) | (sixBits(text[i + 2]) << 6) |
                              sixBits(text[i + 3]);
        out.append(char((group >> 16) & 0xff));
        out.append(char((group >> 8) & 0xff));
        out.append(char(group & 0xff));
    }
    out.chop(padding(text));
    return out;
}

} // namespace tervalia
