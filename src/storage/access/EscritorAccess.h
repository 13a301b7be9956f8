#pragma once

#include "Access.h"

#include <QDateTime>
#include <QString>
#include <QVariantList>

#include <memory>

namespace tervalia::access {

// Writes a new Access 2000 (Jet 4) database file in one pass, table after table, with a bounded
// amount of memory whatever the number of rows. The file is written under a hidden name beside
// `caminho` and takes its own name only once `conclui()` succeeds; a writer destroyed before that,
// or any failure, leaves no file behind (neither the hidden one nor a file at `caminho`).
//
//     EscritorAccess escritor(caminho, QStringLiteral("senha"));
//     escritor.iniciaTabela(tabela);
//     escritor.escreveLinha({1, QStringLiteral("texto"), QVariant()});
//     ...
//     if (!escritor.conclui()) mostra(escritor.erro());
//
// Values, one per column in the table's order; a null QVariant is NULL in every type:
//   SimNao bool (or 0 and 1; Access keeps no NULL in a Yes/No column: NULL is written as No);
//   Inteiro any integer within 32 bits; Duplo double; Numerico decimal text
//   ("-99999999999999.9999", at most `escala` decimals, at most `precisao` digits in all) or an
//   integer (or a double, rounded to `escala` decimals); DataHora QDateTime (or QDate, or ISO text
//   "2024-05-31", "2024-05-31 13:45:00", "13:45:00"), whole seconds; Texto and Memo QString;
//   ObjetoOle QByteArray.
// A value the column cannot hold makes the call fail with a message naming table and column.
class EscritorAccess
{
public:
    explicit EscritorAccess(const QString& caminho, const QString& senha = {},
                            const QDateTime& criacao = QDateTime::currentDateTime());
    ~EscritorAccess();
    EscritorAccess(const EscritorAccess&) = delete;
    EscritorAccess& operator=(const EscritorAccess&) = delete;

    // Each returns false once anything failed; erro() then says what, in Portuguese.
    bool iniciaTabela(const Tabela& tabela);
    bool escreveLinha(const QVariantList& valores);
    bool conclui();

    QString erro() const;

    // The largest file the writer makes: Access's own limit of 2 GB unless a test asks for less.
    void limitaTamanho(qint64 bytes);

private:
    struct Estado;
    std::unique_ptr<Estado> d;
};

} // namespace tervalia::access
