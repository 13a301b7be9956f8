#pragma once

#include "LoteVaf.h"

#include <QList>
#include <QSet>
#include <QString>

class QTableWidget;
class QTreeWidget;

// The lists of the delivery for many companies, as its window shows them.
namespace tervalia::lista_lote {

// One top row per company, its documents below: those of the working year ticked, the others
// greyed and not selectable, with the year message as the reason. The documents of a company
// already answered in this window can no longer be ticked.
void preencheEmpresas(QTreeWidget* arvore, const QList<EmpresaLote>& empresas, const QString& anoTrabalho,
                      const QSet<QString>& respondidas);
// The companies with at least one document ticked, each with its ticked numbers in the list's
// order (the VAF window's order, from the lower row to the higher).
QList<EnvioLote::Item> marcadas(const QTreeWidget* arvore, const QList<EmpresaLote>& empresas);
// The items of companies the server has not answered yet.
QList<EnvioLote::Item> pendentes(const QList<EnvioLote::Item>& itens, const QSet<QString>& respondidas);
// While a run is under way nothing can be ticked; afterwards the documents of the companies the
// server answered stay locked.
void travaMarcacao(QTreeWidget* arvore, bool travada, const QList<EmpresaLote>& empresas,
                   const QSet<QString>& respondidas);

// The companies left out, with why.
void preencheForaDoLote(QTableWidget* grade, const QList<ForaDoLote>& fora);

// Rows of the summary: IE, razão social, documents, and the answer or the failure.
enum ColunaResumo { ResIe, ResRazaoSocial, ResGias, ResResposta, ResCount };
void preparaResumo(QTableWidget* grade);
// The row of that company, added at the end when it has none.
int linhaResumo(QTableWidget* grade, const EnvioLote::Item& item);
void escreveResumo(QTableWidget* grade, int linha, int coluna, const QString& texto);

} // namespace tervalia::lista_lote
