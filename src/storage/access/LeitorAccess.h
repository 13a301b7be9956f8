#pragma once

#include "Access.h"

#include <QStringList>
#include <QVariantList>

#include <functional>
#include <memory>
#include <optional>

namespace tervalia::access {

// Reads an Access file (Jet 3 or Jet 4) through libmdb: the only module of the program that
// includes the mdbtools headers. The file is only read; the library's own messages on the standard
// error are silenced. Never throws.
//
// Values come back typed as EscritorAccess takes them: bool, qint64 (Byte, Integer, Long Integer),
// double (Single, Double), text for Numeric and Currency (exact), QDateTime, QString, QByteArray;
// a null QVariant for NULL.
class LeitorAccess
{
public:
    LeitorAccess();
    ~LeitorAccess();
    LeitorAccess(const LeitorAccess&) = delete;
    LeitorAccess& operator=(const LeitorAccess&) = delete;

    // False when the file is missing, unreadable or not an Access database.
    bool abre(const QString& caminho);

    // The user tables, in catalog order.
    QStringList tabelas() const;

    // The table's columns in their order; nullopt when there is no such table (names compared
    // without regard to case, as Access does).
    std::optional<Tabela> tabela(const QString& nome) const;

    // Calls linha once per row, in file order, until it returns false. False when the table
    // cannot be read.
    bool leLinhas(const QString& nome, const std::function<bool(const QVariantList&)>& linha) const;

private:
    struct Estado;
    std::unique_ptr<Estado> d;
};

} // namespace tervalia::access
