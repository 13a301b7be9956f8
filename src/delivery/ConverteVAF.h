#pragma once

#include "CargaExportacao.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace tervalia {

// The VAF-MG tables copied from VAF.GDB into vaf.db, in the order they are copied.
const QStringList& tabelasVAF();

// What the conversion is doing: the text for the step label and the value for the progress bar
// (0 to 100). The callback is also called, with the same values, while the conversion waits, so the
// caller can let its interface process events there.
struct ProgressoConversao
{
    QString ocorrencia;
    int progresso = 0;
};
using ProgressoCallback = std::function<void(const ProgressoConversao&)>;

struct ResultadoConversao
{
    bool ok = false;
    QString erro;               // Portuguese text for the user when !ok
    int codigoExportacao = 0;   // the export tool's exit status when an export failed
    bool formatoAntigo = false; // the file was written by an older Firebird
    int comandosExecutados = 0;
    int comandosRecusados = 0;
    QList<ComandoRecusado> primeirosRecusados; // at most 100
};

// Rebuilds vaf.db in the program directory from the Firebird file at gdbPath: copies the file into
// temp/ (the user's file is never opened by the engine), copies the template vaf_limpo.db to vaf.db,
// empties each table, runs the export tool fbexport of the program directory once per table (the
// next table is exported while the previous one is loaded) and loads its output, then writes the
// Access database vaf.mdb (the file posted to the server) from vaf.db with the layout of the template
// vaf_limpo.mdb. Stops at the first failed export or write, reporting the tool's status and message
// or the table that could not be written; vaf.db and vaf.mdb are then removed.
// The file a VAF delivery posts: the Access database the last conversion wrote (vaf.mdb).
QString arquivoVafEnviado();

ResultadoConversao ConverteVAF(const QString& gdbPath, const ProgressoCallback& progresso = {});

} // namespace tervalia
