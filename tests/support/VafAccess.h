#pragma once

#include <QList>
#include <QString>

namespace tervalia::test {

struct EmpresaVaf
{
    QString inscricao;
    QList<int> documentos;
};

// Writes an Access VAF database as the program posts it: the 26 tables of the installed layout,
// one CONTRIBUINTE row per company and one DOCUMENTO row per document number (period 2025).
// Returns the writer's error, empty on success.
QString escreveVafAccess(const QString& caminho, const QList<EmpresaVaf>& empresas);

// The same file's bytes.
QByteArray vafAccess(const QList<EmpresaVaf>& empresas);

} // namespace tervalia::test
