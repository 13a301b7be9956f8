// libFuzzer entry point for the document-number checks. The first byte picks the unit (including a
// lower-case and an unknown one) and how the rest is decoded: UTF-8 or raw UTF-16, so that lone
// surrogates and every other code unit reach the functions.

#include "validation/Documentos.h"
#include "validation/IEValida.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

namespace {

const char* const unidades[] = {"AC", "AL", "AP", "AM", "BA", "CE", "DF", "ES", "GO", "MA",
                                "MT", "MS", "MG", "PA", "PB", "PR", "PE", "PI", "RJ", "RN",
                                "RS", "RO", "RR", "SC", "SP", "SE", "TO", "sp", "XX", ""};

QString decodifica(const std::uint8_t* dados, std::size_t tamanho, bool utf16)
{
    if (!utf16)
        return QString::fromUtf8(reinterpret_cast<const char*>(dados), static_cast<qsizetype>(tamanho));
    std::u16string unidadesDeCodigo(tamanho / 2, u'\0');
    std::memcpy(unidadesDeCodigo.data(), dados, unidadesDeCodigo.size() * 2);
    return QString::fromStdU16String(unidadesDeCodigo);
}

QString soDigitos(const QString& texto)
{
    QString digitos;
    for (const QChar c : texto) {
        if (c >= u'0' && c <= u'9')
            digitos.append(c);
    }
    return digitos;
}

void exige(bool condicao)
{
    if (!condicao)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dados, std::size_t tamanho)
{
    if (tamanho == 0)
        return 0;
    const QString uf = QString::fromLatin1(unidades[dados[0] % std::size(unidades)]);
    const QString texto = decodifica(dados + 1, tamanho - 1, dados[0] >= 128);

    // Punctuation and letters never change a CNPJ or CPF verdict.
    const QString digitos = soDigitos(texto);
    exige(tervalia::CNPJValida(texto) == tervalia::CNPJValida(digitos));
    exige(tervalia::CPFValida(texto) == tervalia::CPFValida(digitos));
    exige(tervalia::IEValida(texto, QStringLiteral("XX")));
    tervalia::IEValida(texto, uf);
    return 0;
}
