#include "ListaLote.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QTreeWidget>

namespace tervalia::lista_lote {

namespace {
constexpr int indiceRole = Qt::UserRole;       // on a company's row: its place in the list
constexpr int marcavelRole = Qt::UserRole + 1; // on a document's row: it may be ticked

const char* const titulosResumo[ResCount] = {"IE", "Razão Social", "GIAs", "Resposta do servidor"};
const char* const titulosFora[] = {"IE", "Razão Social", "Motivo"};

QTableWidgetItem* celula(const QString& titulo, const QString& texto)
{
    auto* item = new QTableWidgetItem(texto);
    item->setToolTip(texto);
    item->setData(Qt::AccessibleTextRole, titulo + QStringLiteral(": ") + texto);
    return item;
}

void cabecalhos(QTableWidget* grade, const char* const* titulos, int n)
{
    grade->setColumnCount(n);
    for (int c = 0; c < n; ++c)
        grade->setHorizontalHeaderItem(c, new QTableWidgetItem(QString::fromUtf8(titulos[c])));
}
} // namespace

void preencheEmpresas(QTreeWidget* arvore, const QList<EmpresaLote>& empresas, const QString& anoTrabalho,
                      const QSet<QString>& respondidas)
{
    arvore->clear();
    const QString motivoAno = QStringLiteral("Somente serão aceitas GIAS de ") + anoTrabalho;
    for (int i = 0; i < empresas.size(); ++i) {
        const EmpresaLote& e = empresas.at(i);
        const bool respondida = respondidas.contains(e.ie);
        auto* topo = new QTreeWidgetItem(arvore, {e.ie + QStringLiteral(" - ") + e.razaoSocial});
        topo->setData(0, indiceRole, i);
        int doAno = 0;
        for (int d = 0; d < e.documentos.size(); ++d) {
            const DocumentoVAF& doc = e.documentos.at(d);
            const bool marcavel = e.doAno.at(d) && !respondida;
            doAno += e.doAno.at(d) ? 1 : 0;
            auto* item = new QTreeWidgetItem(
                topo, {doc.nroGia, doc.referencia, doc.tipo, e.doAno.at(d) ? QString() : motivoAno});
            item->setData(0, marcavelRole, marcavel);
            if (marcavel) {
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
                item->setCheckState(0, Qt::Checked);
            } else {
                item->setFlags(Qt::NoItemFlags);
                item->setToolTip(0, e.doAno.at(d) ? QStringLiteral("Enviada nesta janela") : motivoAno);
            }
        }
        topo->setText(
            3, respondida
                   ? QStringLiteral("Enviada nesta janela")
                   : QStringLiteral("%1 de %2 documento(s) do ano de trabalho").arg(doAno).arg(e.documentos.size()));
        topo->setExpanded(true);
    }
    for (int c = 0; c < arvore->columnCount(); ++c)
        arvore->resizeColumnToContents(c);
}

QList<EnvioLote::Item> marcadas(const QTreeWidget* arvore, const QList<EmpresaLote>& empresas)
{
    QList<EnvioLote::Item> itens;
    for (int i = 0; i < arvore->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* topo = arvore->topLevelItem(i);
        const EmpresaLote& e = empresas.at(topo->data(0, indiceRole).toInt());
        QStringList gias;
        for (int d = 0; d < topo->childCount(); ++d) {
            const QTreeWidgetItem* doc = topo->child(d);
            if (doc->data(0, marcavelRole).toBool() && doc->checkState(0) == Qt::Checked)
                gias << doc->text(0);
        }
        if (!gias.isEmpty())
            itens.append({e.ie, e.razaoSocial, e.chave, gias.join(u',')});
    }
    return itens;
}

QList<EnvioLote::Item> pendentes(const QList<EnvioLote::Item>& itens, const QSet<QString>& respondidas)
{
    QList<EnvioLote::Item> lista;
    for (const EnvioLote::Item& item : itens) {
        if (!respondidas.contains(item.ie))
            lista.append(item);
    }
    return lista;
}

void travaMarcacao(QTreeWidget* arvore, bool travada, const QList<EmpresaLote>& empresas,
                   const QSet<QString>& respondidas)
{
    for (int i = 0; i < arvore->topLevelItemCount(); ++i) {
        QTreeWidgetItem* topo = arvore->topLevelItem(i);
        const bool respondida = respondidas.contains(empresas.at(topo->data(0, indiceRole).toInt()).ie);
        if (respondida)
            topo->setText(3, QStringLiteral("Enviada nesta janela"));
        for (int d = 0; d < topo->childCount(); ++d) {
            QTreeWidgetItem* doc = topo->child(d);
            if (!doc->data(0, marcavelRole).toBool())
                continue;
            doc->setData(0, marcavelRole, !respondida);
            doc->setFlags(travada || respondida ? Qt::NoItemFlags
                                                : Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        }
    }
}

void preencheForaDoLote(QTableWidget* grade, const QList<ForaDoLote>& fora)
{
    cabecalhos(grade, titulosFora, 3);
    grade->setRowCount(int(fora.size()));
    for (int l = 0; l < fora.size(); ++l) {
        const QString textos[] = {fora[l].ie, fora[l].razaoSocial, fora[l].motivo};
        for (int c = 0; c < 3; ++c)
            grade->setItem(l, c, celula(QString::fromUtf8(titulosFora[c]), textos[c]));
    }
    grade->resizeColumnsToContents();
}

void preparaResumo(QTableWidget* grade)
{
    cabecalhos(grade, titulosResumo, ResCount);
    grade->setRowCount(0);
}

int linhaResumo(QTableWidget* grade, const EnvioLote::Item& item)
{
    for (int l = 0; l < grade->rowCount(); ++l) {
        if (grade->item(l, ResIe)->text() == item.ie)
            return l;
    }
    const int linha = grade->rowCount();
    grade->insertRow(linha);
    for (int c = 0; c < ResCount; ++c)
        grade->setItem(linha, c, celula(QString::fromUtf8(titulosResumo[c]), QString()));
    escreveResumo(grade, linha, ResIe, item.ie);
    escreveResumo(grade, linha, ResRazaoSocial, item.razaoSocial);
    return linha;
}

void escreveResumo(QTableWidget* grade, int linha, int coluna, const QString& texto)
{
    QTableWidgetItem* item = grade->item(linha, coluna);
    item->setText(texto);
    item->setToolTip(texto);
    item->setData(Qt::AccessibleTextRole, QString::fromUtf8(titulosResumo[coluna]) + QStringLiteral(": ") + texto);
    grade->resizeColumnToContents(coluna);
}

} // namespace tervalia::lista_lote
