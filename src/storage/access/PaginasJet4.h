#pragma once

// Page, row and table definition layouts of a Jet 4 file.

#include "FormatoJet4.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <functional>
#include <vector>

namespace tervalia::access::jet4 {

// One column as the table definition lists it.
struct DefColuna
{
    QString nome;
    quint8 tipo = tipoLong;
    quint16 numero = 0;        // position in the row's null mask and column order
    quint16 indiceVar = 0;     // variable columns: position in the row's offset table
    quint16 deslocFixo = 0;    // fixed columns: offset in the row's fixed area (after the column count)
    quint16 tamanho = 0;       // bytes (Text: 2 per character; Memo and OLE: 0)
    quint8 flags = 0x02;       // 0x01 fixed length, 0x02 may be updated; system columns also 0x10
    quint8 flagsExtra = 0;     // 0x01 compressed Unicode
    quint16 misc = ordemGeral; // Numeric: precision, then scale; otherwise the sort order

    bool fixa() const { return flags & 0x01; }
};

// A physical index (only the system tables have them).
struct DefIndiceReal
{
    QList<quint16> colunas;
    quint8 flags = 0;
    quint32 mapaUso = 0; // page/row of the index's usage map
    quint32 primeiraPagina = 0;
};

struct DefIndiceLogico
{
    QString nome;
    quint32 numero = 0;
    quint32 real = 0;
    quint8 tipo = 0; // 1: primary key
};

struct DefTabela
{
    QString nome;
    quint8 tipoTabela = 0x4E; // 0x4E user table, 0x53 system table
    QList<DefColuna> colunas; // in the order the definition lists them
    QList<DefIndiceReal> indicesReais;
    QList<DefIndiceLogico> indicesLogicos;

    int numeroColunasVar() const;
    int tamanhoFixo() const;
};

// The usage maps that a table definition points to (page/row of each record).
struct MapasTabela
{
    quint32 uso = 0;
    quint32 livre = 0;
    struct Longa
    {
        quint16 coluna = 0;
        quint32 uso = 0;
        quint32 livre = 0;
    };
    QList<Longa> longas; // memo and OLE columns
};

// The bytes of a table definition as if on one page (page header included); `paginasDefinicao`
// says how many pages it takes and `paginaDaDefinicao` gives each page's bytes.
QByteArray definicaoTabela(const DefTabela& tabela, quint32 linhas, const MapasTabela& mapas);
int paginasDefinicao(qsizetype bytes);
QByteArray paginaDaDefinicao(const QByteArray& definicao, int indice, quint32 proxima);

// Row layout: which column goes where, built once per table.
class LayoutLinha
{
public:
    explicit LayoutLinha(const DefTabela& tabela);

    struct Celula
    {
        bool presente = false; // Yes/No: the value
        int inicio = 0;        // in the row's scratch bytes
        int tamanho = 0;
    };
    // Assembles a row from cells indexed by column number, their bytes in `dados`.
    void monta(const std::vector<Celula>& celulas, const QByteArray& dados, QByteArray& linha) const;
    int colunas() const { return int(m_porNumero.size()); }
    const DefColuna& coluna(int numero) const { return m_porNumero[numero]; }

private:
    std::vector<DefColuna> m_porNumero;
    std::vector<int> m_variaveis; // column numbers in offset table order
    int m_tamanhoFixo = 0;
};

// A data page (or long value page) filled in memory, rows from the end backwards.
class PaginaDados
{
public:
    void inicia(quint32 dono);
    bool cabe(qsizetype tamanho) const;
    int adiciona(const char* linha, qsizetype tamanho); // the row's number on the page
    int linhas() const { return m_linhas; }
    const char* bytes();                            // completes the header
    static constexpr quint32 donoLval = 0x4C41564C; // "LVAL"

private:
    std::array<char, tamanhoPagina> m_pagina{};
    int m_linhas = 0;
    int m_topo = tamanhoPagina;
};

// Pages owned by one table (or column), by page number, for its usage map.
class ConjuntoPaginas
{
public:
    void marca(quint32 pagina);
    bool vazio() const { return m_vazio; }
    quint32 primeira() const { return m_primeira; }
    quint32 ultima() const { return m_ultima; }
    bool contem(quint32 pagina) const;

private:
    std::vector<quint64> m_bits; // from page m_base
    quint32 m_base = 0;
    quint32 m_primeira = 0;
    quint32 m_ultima = 0;
    bool m_vazio = true;
};

// A usage map record: inline when the pages fit one of the 512-page windows that start at multiples
// of 512 (as Access aligns them), the window that holds `pagina` for registroMapaEmbutido; otherwise
// a record of type 1 whose bitmap pages `gravaPaginaMapa` places in the file (it returns their page
// number, or 0 on failure).
using GravaPaginaMapa = std::function<quint32(const char* pagina)>;
bool registroMapa(const ConjuntoPaginas& paginas, const GravaPaginaMapa& gravaPaginaMapa, QByteArray& registro);
QByteArray registroMapaEmbutido(quint32 pagina, const std::function<bool(quint32)>& marcada);

// An index leaf page holding `entradas` (each: key bytes and page/row), sorted; empty when they do
// not fit one page.
QByteArray folhaIndice(quint32 paginaDefinicao, QList<QByteArray> entradas);

} // namespace tervalia::access::jet4
