#pragma once

#include <QList>
#include <QString>

#include <functional>

namespace tervalia {

class Connection;

// A statement of an export file that failed; it was skipped and the others of the file stayed.
struct ComandoRecusado
{
    QString tabela;
    int linha = 0;
    QString erro;
};

struct ResultadoCarga
{
    QString erro; // empty when the file was loaded (even with refused statements)
    int executados = 0;
    int recusados = 0;
    QList<ComandoRecusado> primeirosRecusados; // at most 100
};

// Executes every non-empty line of an export file (Windows-1252, CR LF) as one statement on vaf, all
// in one transaction. A failing statement fails alone. pulso, when given, is called now and then.
ResultadoCarga CarregaExportacao(Connection& vaf, const QString& tabela, const QString& arquivo,
                                 const std::function<void()>& pulso = {});

} // namespace tervalia
