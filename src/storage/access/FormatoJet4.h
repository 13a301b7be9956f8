#pragma once

// Constants and byte helpers of the Access 2000 (Jet 4) file format, shared by the writer's parts.

#include <QByteArray>
#include <QtGlobal>

#include <cstring>

namespace tervalia::access::jet4 {

constexpr int tamanhoPagina = 4096;
// Access refuses to grow a database past 2 GB.
constexpr qint64 paginasNoLimite = (qint64(2) << 30) / tamanhoPagina;

// Page types (first byte of every page).
constexpr char paginaDados = 0x01;
constexpr char paginaDefinicao = 0x02;
constexpr char paginaFolhaIndice = 0x04;
constexpr char paginaMapaUso = 0x05;

// Column types as the table definition stores them.
enum CodigoTipo : quint8 {
    tipoBool = 0x01,
    tipoByte = 0x02,
    tipoInt = 0x03,
    tipoLong = 0x04,
    tipoMoney = 0x05,
    tipoFloat = 0x06,
    tipoDouble = 0x07,
    tipoData = 0x08,
    tipoBinario = 0x09,
    tipoTexto = 0x0A,
    tipoOle = 0x0B,
    tipoMemo = 0x0C,
    tipoNumerico = 0x10,
};

// Constants that Jet writes in table, column and index definitions.
constexpr quint32 marcaTabela = 0x0659;
constexpr quint32 marcaIndice = 0x0783;
// The General sort order (Access 2000 to 2007), kept by every text column.
constexpr quint16 ordemGeral = 0x0409;

// Data pages: header of 14 bytes, then one 2-byte offset per row; rows from the page's end backwards.
constexpr int cabecalhoDados = 14;
// A row's number is one byte in every page/row pointer.
constexpr int linhasPorPagina = 255;
// The largest row Access writes on a data page.
constexpr int maiorLinha = 4060;
// Long values (memo, OLE): a 12-byte reference in the row; up to this many bytes stay in the row.
constexpr int referenciaLonga = 12;
constexpr int maiorLongoNaLinha = 64;
// A long value row alone on its page, and the part of a chained value that each page holds.
constexpr int maiorLongoNumaPagina = tamanhoPagina - cabecalhoDados - 2;
constexpr int trechoEncadeado = maiorLongoNumaPagina - 4;
// Memo text longer than this is never compressed.
constexpr int maiorMemoComprimido = 1024;

// Usage maps: a record of 69 bytes, inline (type 0, 512 pages from its start page) or by reference
// (type 1, up to 17 pages of type 0x05, each mapping 4092 * 8 pages).
constexpr int tamanhoRegistroMapa = 69;
constexpr int paginasNoMapaEmbutido = (tamanhoRegistroMapa - 5) * 8;
constexpr int paginasPorPaginaDeMapa = (tamanhoPagina - 4) * 8;
constexpr int paginasDeMapaPorRegistro = (tamanhoRegistroMapa - 1) / 4;

// A page and row in one 32-bit value, as rows and long values point to each other.
inline quint32 paginaLinha(quint32 pagina, int linha)
{
    return (pagina << 8) | quint32(linha);
}

inline void poe16(char* p, quint16 v)
{
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}

inline void poe32(char* p, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xFF);
}

inline void poeDouble(char* p, double v)
{
    quint64 bits;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 8; ++i)
        p[i] = char((bits >> (8 * i)) & 0xFF);
}

inline quint16 le16(const char* p)
{
    return quint16(quint8(p[0]) | (quint8(p[1]) << 8));
}

inline quint32 le32(const char* p)
{
    return quint32(quint8(p[0])) | (quint32(quint8(p[1])) << 8) | (quint32(quint8(p[2])) << 16) |
           (quint32(quint8(p[3])) << 24);
}

inline double leDouble(const char* p)
{
    quint64 bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= quint64(quint8(p[i])) << (8 * i);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

inline void anexa8(QByteArray& b, quint8 v)
{
    b.append(char(v));
}

inline void anexa16(QByteArray& b, quint16 v)
{
    char c[2];
    poe16(c, v);
    b.append(c, 2);
}

inline void anexa32(QByteArray& b, quint32 v)
{
    char c[4];
    poe32(c, v);
    b.append(c, 4);
}

inline void anexaDouble(QByteArray& b, double v)
{
    char c[8];
    poeDouble(c, v);
    b.append(c, 8);
}

} // namespace tervalia::access::jet4
