#pragma once

#include "SituacaoEntregas.h"
#include "storage/Cadastro.h"

#include <QHash>
#include <QList>
#include <QObject>

class QAbstractItemModel;
class QModelIndex;
class QStandardItemModel;

namespace tervalia {

class FiltroSituacao;

// The rows of the delivery status: one per registered company, with what its last consultation
// said. The view sorts by any column (dates as dates) and may show only the companies without a
// known delivery of the working year.
class ModeloSituacao : public QObject
{
    Q_OBJECT

public:
    enum Coluna { ColIE, ColRazaoSocial, ColRegime, ColReferencia, ColData, ColSituacao, ColConsultadoEm, ColCount };

    explicit ModeloSituacao(QObject* parent = nullptr);
    ~ModeloSituacao() override;

    // What the view shows: sorted and filtered.
    QAbstractItemModel* visao() const;

    void preenche(const QList<ContribuinteRecord>& empresas, const QHash<QString, situacao::Consulta>& consultas);
    // The company's row follows its new consultation.
    void atualiza(const QString& ie, const situacao::Consulta& consulta);
    void setSomenteSemEntrega(bool somente);

    const QList<ContribuinteRecord>& empresas() const { return m_empresas; }
    situacao::Consulta consulta(const QString& ie) const { return m_consultas.value(ie); }
    // The company of a row as the view shows it, or nullptr.
    const ContribuinteRecord* empresaVista(const QModelIndex& indice) const;
    // The text of a cell, row and column as the view shows them.
    QString textoVisto(int linha, int coluna) const;

    // The rows as the view shows them, for a spreadsheet in Portuguese: ";" between fields, UTF-8
    // with its byte-order mark, dates as dd/mm/aaaa, the IE kept as text with its leading zeros.
    QByteArray csv() const;

private:
    void escreveLinha(int linha);

    QStandardItemModel* m_modelo;
    FiltroSituacao* m_filtro;
    QList<ContribuinteRecord> m_empresas;
    QHash<QString, situacao::Consulta> m_consultas;
    QHash<QString, int> m_linhaDaIe;
};

} // namespace tervalia
