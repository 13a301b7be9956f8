#pragma once

#include "Access.h"

#include <QList>
#include <QString>

#include <optional>

namespace tervalia::access {

// Reads table layouts written as Access SQL's CREATE TABLE statements, one or more, each ending
// with ";". Lines starting with "--" are comments. Types: LONG, DOUBLE, DECIMAL(p,s), TEXT(n),
// MEMO, DATETIME, YESNO, LONGBINARY, in any case. Returns nullopt with *erro set (in Portuguese)
// on anything else.
std::optional<QList<Tabela>> leEsquema(const QString& ddl, QString* erro = nullptr);

} // namespace tervalia::access
