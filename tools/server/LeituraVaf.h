#pragma once

#include "server/Respostas.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace tervalia::standin {

// What the stand-in finds wrong in a posted VAF database: it must open as an Access database, hold
// the 26 VAF tables, and hold in DOCUMENTO, for a CONTRIBUINTE with the company's IE, every document
// number of `gias` (comma-separated). An empty list means the delivery is accepted.
QList<MensagemEntrega> verificaBancoVaf(const QByteArray& arquivo, const QString& ie, const QString& gias);

} // namespace tervalia::standin
