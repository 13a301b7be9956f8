#pragma once

#include <QString>
#include <QStringView>
#include <QVariantList>

#include <optional>

namespace tervalia::gia {

// One line of a GIA pre-formatted file, read on its own: no database, no state of the lines before.
// The first two characters are the record type; each type has fixed fields (positions from 1).
struct Registro
{
    enum class Situacao {
        Ignorado,      // a type this program does not read; the line is skipped
        Valido,        // every field read; `valores` holds what the type stores
        Curto,         // the line ends before the last field of its type
        ValorInvalido, // a field stored as a number holds no number
    };

    Situacao situacao = Situacao::Ignorado;
    QString tipo;
    // Characters of the line.
    qsizetype tamanho = 0;
    // Length of the type's layout: the position of its last character.
    qsizetype tamanhoExigido = 0;
    // The field that holds no number (ValorInvalido): position from 1, width, and its text.
    qsizetype posicao = 0;
    qsizetype largura = 0;
    QString campo;
    // The stored values, formatted, in the order of the type's statement columns, without the
    // numbers the import adds from earlier lines (GIA number, CFOP, UF, occurrence):
    //   "05" IE, CNPJ, CNAE, Tipo, RegTrib, Ref, Movimento  "10" CFOP, nine amounts
    //   "14" UF, nine amounts            "18" NF, date, amount, CNPJ, municipality
    //   "20" sub-item, amount, legal basis, occurrence text, own-operations flag
    //   "25" IE, amount   "26" IE, start, end, amount, NF   "27" IE, amount, NF
    //   "28" authorisation code, amount   "30" DIPAM code, municipality, amount   "31" RE
    //   "01", "07" nothing (their fields are not stored).
    // Text values are QString, amounts double, Tipo, Movimento and the flag qlonglong.
    QVariantList valores;
};

Registro lerRegistro(QStringView linha);

// The value formats of the file's fields (each takes the raw field of its width).
QString formataIE(QStringView campo);            // 123456789012 → 123.456.789.012
QString formataCNPJ(QStringView campo);          // 12345678000195 → 12.345.678/0001-95
QString formataCNAE(QStringView campo);          // 1234567 → 1234-5/67
QString formataCFOP(QStringView campo);          // 510200 → 5.102
QString formataMesReferencia(QStringView campo); // 200911 → 2009-11-20
QString formataData(QStringView campo);          // 20091105 → 2009-11-05
QString formataSubItem(QStringView campo);       // 12345 → 123.45
QString formataCodigoDipam(QStringView campo);   // 21 → 2.1

// An amount of 15 characters: the first 13 are the whole part, the last 2 the cents, so
// "000000001234567" is 12345.67. Blanks around the number and a sign are accepted, as the database
// would accept them in a statement; anything else is no number.
std::optional<double> valorMonetario(QStringView campo);
// A whole number between blanks, with an optional sign.
std::optional<qlonglong> numeroInteiro(QStringView campo);

} // namespace tervalia::gia
