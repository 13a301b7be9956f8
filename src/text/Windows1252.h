#pragma once

#include "text/Windows1252Table.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringDecoder>
#include <QStringView>

#include <array>

// The single-byte code page of the users' systems (Windows-1252): the upload writes file names and
// query values in it, and single-byte text read anywhere in the program (or by the stand-in
// server) is read in it. Header-only, so the stand-in server shares it without linking the core.
namespace tervalia {

namespace windows1252_detail {
// Bytes 0x80 to 0x9F; the five bytes the code page leaves undefined read as the C1 control of the
// same value, so that decoding never loses a byte.
inline constexpr const auto& highControls = windows1252High;

inline bool undefinedByte(int index)
{
    return highControls[index] < 0x0100;
}

inline int byteFor(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return int(c);
    for (int i = 0; i < 32; ++i) {
        if (!undefinedByte(i) && highControls[i] == c)
            return 0x80 + i;
    }
    return -1;
}
} // namespace windows1252_detail

// Text as Windows-1252 bytes. The text is first put in composed form ("a" + combining tilde becomes
// "ã"); every character the code page lacks becomes one `replacement`.
inline QByteArray encodeWindows1252(QStringView text, char replacement = '_')
{
    const QString composed = text.toString().normalized(QString::NormalizationForm_C);
    QByteArray bytes;
    bytes.reserve(composed.size());
    for (const char32_t c : composed.toUcs4()) {
        const int b = windows1252_detail::byteFor(c);
        bytes.append(b < 0 ? replacement : char(b));
    }
    return bytes;
}

// Windows-1252 bytes as text, one character per byte.
inline QString decodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        *out++ = (b >= 0x80 && b < 0xA0) ? QChar(windows1252_detail::highControls[b - 0x80]) : QChar(b);
    }
    return text;
}

// Bytes read as UTF-8 when they are valid UTF-8, otherwise as Windows-1252.
inline QString decodeUtf8OrWindows1252(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    return utf8.hasError() ? decodeWindows1252(bytes) : text;
}

} // namespace tervalia
