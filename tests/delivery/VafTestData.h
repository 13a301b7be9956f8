#pragma once

#include <QString>
#include <QStringList>

namespace tervalia::test {

// Builds a test VAF.GDB at path with gera_vaf_gdb.sh (options such as "-n", "20000", "--ods11",
// "--sem-tabela", "T"); returns the script's error output, empty on success.
QString geraVafGdb(const QString& path, const QStringList& options = {});

// Runs the export tool of the ready program directory; returns its exit status (-1 when it did not
// run) and fills the standard error text.
int runFbExport(const QStringList& arguments, QString* errorText = nullptr, QString* outputText = nullptr);

QByteArray fileContent(const QString& path);

} // namespace tervalia::test
