#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

// What every fuzz target does first: the bytes as they come, and the same bytes read as text, with
// the first byte choosing UTF-8 or raw UTF-16 so that lone surrogates reach the readers too.
namespace tervalia::fuzz {

inline QByteArray bytes(const std::uint8_t* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

inline QString text(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return {};
    if ((data[0] & 1) == 0)
        return QString::fromUtf8(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    std::u16string units((size - 1) / 2, u'\0');
    std::memcpy(units.data(), data + 1, units.size() * 2);
    return QString::fromStdU16String(units);
}

// A broken promise of a reader: a crash libFuzzer reports with the input.
inline void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace tervalia::fuzz
