#pragma once

#include <QList>
#include <QString>

namespace tervalia::access {

// The column types of an Access 2000 (Jet 4) table that the program writes and reads.
enum class TipoColuna {
    SimNao,      // Yes/No: a bool
    Inteiro,     // Long Integer: a 32-bit integer
    Duplo,       // Double
    Numerico,    // Numeric(precisao, escala): an exact decimal, given and read as text ("-12.3400")
    DataHora,    // Date/Time: a QDateTime (local, whole seconds), years 100 to 9999
    Texto,       // Text of at most `tamanho` characters (1 to 255)
    Memo,        // Memo: text of any length
    ObjetoOle,   // OLE Object: a QByteArray
};

struct Coluna
{
    QString nome;
    TipoColuna tipo = TipoColuna::Texto;
    int tamanho = 255; // Text: characters
    int precisao = 18; // Numeric: 1 to 28 digits
    int escala = 0;    // Numeric: 0 to precisao digits after the point

    bool operator==(const Coluna&) const = default;
};

struct Tabela
{
    QString nome;
    QList<Coluna> colunas;

    bool operator==(const Tabela&) const = default;
};

} // namespace tervalia::access
