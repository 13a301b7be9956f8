#pragma once

#include <QByteArray>
#include <QString>

#include <stdexcept>

namespace tervalia {

// The error MyDecode raises for text whose length is not a multiple of four: number -2147221504
// (0x80040000), source "MyDecode", description "Input string is not valid Base64.".
class Base64Error : public std::runtime_error
{
public:
    Base64Error();

    qint32 number() const { return m_number; }
    const QString& source() const { return m_source; }
    const QString& description() const { return m_description; }

private:
    qint32 m_number;
    QString m_source;
    QString m_description;
};

// Lenient Base64 decoding. Removes every CR and LF from text in place, then decodes four
// characters into three bytes; characters outside the alphabet ("=" included) count as zero bits.
// One or two bytes are dropped from the end when the text contains "=" or "==" anywhere.
// Throws Base64Error when the length, without line breaks, is not a multiple of four.
QByteArray MyDecode(QString& text);

} // namespace tervalia
