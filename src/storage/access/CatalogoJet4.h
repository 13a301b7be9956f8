#pragma once

// The system tables of a Jet 4 file as the Jet engine lays out a new database: MSysObjects (the
// catalog, with its indexes ParentIdName and Id), MSysACEs (permissions), MSysQueries and
// MSysRelationships (empty).

#include <QList>
#include <QString>
#include <QStringList>

namespace tervalia::access::jet4 {

class ArquivoJet4;

// Pages 0 to 9 are the header, the global usage map, the system tables' definitions and their
// usage maps; the catalog's rows and index pages go at the end of the file.
constexpr int paginasDoInicio = 10;

struct TabelaDoCatalogo
{
    QString nome;
    quint32 paginaDefinicao = 0;
};

// Writes the system tables, the global usage map and the header; false with `motivo` on failure.
bool gravaCatalogo(ArquivoJet4& arquivo, const QList<TabelaDoCatalogo>& tabelas, double criacao, const QString& senha,
                   QString& motivo);

// Whether the catalog's index pages hold tables of these names (about 100 tables of 20 characters).
bool catalogoComporta(const QStringList& nomes);

// Why Access would not take `nome` as a table's name (empty when it would): 1 to 64 characters, no
// blank at either end, none of . ! ` [ ] nor control characters; the catalog's index also needs
// every character to have a plain General sort code (letters, digits, blanks and most ASCII signs).
QString nomeDeTabelaRecusado(const QString& nome);
QString nomeDeColunaRecusado(const QString& nome);

} // namespace tervalia::access::jet4
