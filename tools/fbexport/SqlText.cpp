#include "SqlText.h"

#include "text/Windows1252Table.h"

#include <charconv>
#include <cmath>

namespace fbexport {

namespace {
const char hexDigits[] = "0123456789ABCDEF";

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Next code point of valid UTF-8 at i, or -1 when the bytes there are not valid UTF-8.
long nextCodePoint(std::string_view s, std::size_t& i)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int extra = 0;
    char32_t c = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1, c = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, c = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, c = b0 & 0x07, min = 0x10000;
    } else {
        return -1;
    }
    if (i + extra >= s.size())
        return -1;
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return -1;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return -1;
    i += extra + 1;
    return long(c);
}

// The Windows-1252 byte of a printable character, or -1.
int windows1252Byte(char32_t c)
{
    if (c < 0x20 || c == 0x7F)
        return -1;
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return int(c);
    for (int k = 0; k < 32; ++k) {
        if (tervalia::windows1252High[k] == c && !(c >= 0x80 && c <= 0x9F))
            return 0x80 + k;
    }
    return -1;
}

void appendHex(std::string& out, std::string_view bytes)
{
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        out += hexDigits[b >> 4];
        out += hexDigits[b & 0x0F];
    }
}
} // namespace

std::string windows1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        appendUtf8(out, b >= 0x80 && b <= 0x9F ? char32_t(tervalia::windows1252High[b - 0x80]) : char32_t(b));
    }
    return out;
}

bool isValidUtf8(std::string_view bytes)
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (nextCodePoint(bytes, i) < 0)
            return false;
    }
    return true;
}

void appendText(std::string& out, std::string_view utf8)
{
    std::string fixed;
    if (!isValidUtf8(utf8)) {
        fixed = windows1252ToUtf8(utf8);
        utf8 = fixed;
    }
    std::string literal;
    literal.reserve(utf8.size() + 2);
    literal += '\'';
    std::size_t i = 0;
    while (i < utf8.size()) {
        const int b = windows1252Byte(char32_t(nextCodePoint(utf8, i)));
        if (b < 0) {
            out += "CAST(X'";
            appendHex(out, utf8);
            out += "' AS TEXT)";
            return;
        }
        literal += char(b);
        if (b == '\'')
            literal += '\'';
    }
    literal += '\'';
    out += literal;
}

void appendBlob(std::string& out, std::string_view bytes)
{
    out += "X'";
    appendHex(out, bytes);
    out += '\'';
}

void appendScaled(std::string& out, std::int64_t value, int scale)
{
    const bool negative = value < 0;
    // Magnitude in unsigned arithmetic: the most negative value has no positive counterpart.
    const std::uint64_t magnitude = negative ? std::uint64_t(0) - std::uint64_t(value) : std::uint64_t(value);
    std::string digits = std::to_string(magnitude);
    if (scale >= 0) {
        if (negative)
            out += '-';
        out += digits;
        out.append(std::size_t(scale), '0');
        return;
    }
    const auto places = std::size_t(-scale);
    if (digits.size() <= places)
        digits.insert(0, places + 1 - digits.size(), '0');
    out += '\'';
    if (negative)
        out += '-';
    out.append(digits, 0, digits.size() - places);
    out += '.';
    out.append(digits, digits.size() - places, places);
    out += '\'';
}

namespace {
template <typename T> void appendFloating(std::string& out, T value)
{
    if (std::isnan(value)) {
        out += "NULL";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-9e999" : "9e999";
        return;
    }
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    out.append(buffer, result.ptr);
    // A bare whole number would be read as an integer; keep it a real number.
    if (std::string_view(buffer, result.ptr).find('.') == std::string_view::npos)
        out += ".0";
}
} // namespace

void appendDouble(std::string& out, double value)
{
    appendFloating(out, value);
}

void appendFloat(std::string& out, float value)
{
    appendFloating(out, value);
}

void appendIdentifier(std::string& out, std::string_view name)
{
    out += '"';
    for (const char c : name) {
        out += c;
        if (c == '"')
            out += '"';
    }
    out += '"';
}

} // namespace fbexport
