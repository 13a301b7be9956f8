#include "Texto1252.h"

namespace tervalia {

namespace {
// Bytes 0x80 to 0x9F; the rest of the code page is ISO 8859-1.
constexpr char16_t faixa80a9F[32] = {u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020',
                                     u'\u2021', u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D',
                                     u'\u017D', u'\u008F', u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D',
                                     u'\u2022', u'\u2013', u'\u2014', u'\u02DC', u'\u2122', u'\u0161', u'\u203A',
                                     u'\u0153', u'\u009D', u'\u017E', u'\u0178'};
} // namespace

QString textoDeWindows1252(QByteArrayView bytes)
{
    QString texto(bytes.size(), Qt::Uninitialized);
    QChar* saida = texto.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *saida++ = (b >= 0x80 && b <= 0x9F) ? QChar(faixa80a9F[b - 0x80]) : QChar(b);
    }
    return texto;
}

} // namespace tervalia
