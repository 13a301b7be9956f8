#pragma once

#include <QByteArray>
#include <QString>

// Whole-database copies and checks of dipam.db through SQLite's own C interface: this module is the
// only one that includes sqlite3.h.
namespace tervalia {

struct CopiaBanco
{
    QByteArray conteudo; // the database file's bytes, as of one moment
    int empresas = 0;    // rows of tblContribuinte in that copy
    QString erro;        // in Portuguese; empty when copied
};

// A consistent copy taken with SQLite's backup interface, while other connections may be using
// the file: it holds either all or none of any transaction.
CopiaBanco copiaBanco(const QString& caminho);

struct VerificacaoBanco
{
    int empresas = 0;
    QString erro; // in Portuguese; empty when the file is a sound database with the program's tables
};

// Opens the file read-only, runs SQLite's integrity check and counts the companies.
VerificacaoBanco verificaBanco(const QString& caminho);

} // namespace tervalia
