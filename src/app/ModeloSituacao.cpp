#include "ModeloSituacao.h"

#include <QSortFilterProxyModel>
#include <QStandardItemModel>

namespace tervalia {

namespace {
constexpr int ordemRole = Qt::UserRole;          // what the column sorts by: a date or the text
constexpr int semEntregaRole = Qt::UserRole + 1; // on the first cell: no delivery of the year known

const char* const titulos[ModeloSituacao::ColCount] = {
    "IE", "Razão Social", "Regime", "Referência", "Data de Processamento", "Situação", "Consultado em",
};

const QString formatoData = QStringLiteral("dd/MM/yyyy HH:mm:ss");

struct Linha
{
    QString textos[ModeloSituacao::ColCount];
    QDateTime data;
    QDateTime consultadoEm;
    bool semEntrega = true;
};

QString situacaoDe(const ContribuinteRecord& empresa, const situacao::Consulta& c)
{
    if (empresa.chave.trimmed().isEmpty())
        return QStringLiteral("Sem chave");
    if (!c.falha.isEmpty())
        return QStringLiteral("Falha de comunicação: ") + c.falha;
    if (!c.consultada())
        return QStringLiteral("Não consultada");
    if (c.chaveRecusada)
        return QStringLiteral("Chave recusada");
    return c.ultima ? situacao::textoStatus((*c.ultima)[3]) : QStringLiteral("Sem entrega");
}

Linha linhaDe(const ContribuinteRecord& empresa, const situacao::Consulta& c)
{
    Linha l;
    l.textos[ModeloSituacao::ColIE] = empresa.ie;
    l.textos[ModeloSituacao::ColRazaoSocial] = empresa.razaoSocial;
    l.textos[ModeloSituacao::ColRegime] =
        empresa.optanteSimples ? QStringLiteral("Simples Nacional") : QStringLiteral("Débito e Crédito");
    // A company without a key is never asked: nothing it was told before counts.
    const bool semChave = empresa.chave.trimmed().isEmpty();
    if (c.ultima && !semChave) {
        l.textos[ModeloSituacao::ColReferencia] = (*c.ultima)[0];
        l.textos[ModeloSituacao::ColData] = (*c.ultima)[1];
        l.data = historico::converteDataServidor((*c.ultima)[1]).value_or(QDateTime());
        l.semEntrega = false;
    }
    l.textos[ModeloSituacao::ColSituacao] = situacaoDe(empresa, c);
    if (c.consultada() && !semChave) {
        l.consultadoEm = c.em;
        l.textos[ModeloSituacao::ColConsultadoEm] = c.em.toString(QStringLiteral("dd/MM/yyyy HH:mm"));
    }
    return l;
}

// A field the spreadsheet would take for a formula (a hostile server's reference, say) is kept as
// text by a leading apostrophe.
QString campoCsv(QString texto)
{
    static const QString inicioDeFormula = QStringLiteral("=+-@\t\r");
    if (!texto.isEmpty() && inicioDeFormula.contains(texto.front()))
        texto.prepend(u'\'');
    if (texto.contains(u';') || texto.contains(u'"') || texto.contains(u'\n') || texto.contains(u'\r'))
        texto = u'"' + texto.replace(u'"', QLatin1String("\"\"")) + u'"';
    return texto;
}
} // namespace

// Sorts by each column's own order and keeps, when asked, only the companies without a delivery.
class FiltroSituacao : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void setSomenteSemEntrega(bool somente)
    {
        m_somente = somente;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int linha, const QModelIndex& pai) const override
    {
        return !m_somente || sourceModel()->index(linha, 0, pai).data(semEntregaRole).toBool();
    }

private:
    bool m_somente = false;
};

ModeloSituacao::ModeloSituacao(QObject* parent)
    : QObject(parent), m_modelo(new QStandardItemModel(0, ColCount, this)), m_filtro(new FiltroSituacao(this))
{
    for (int c = 0; c < ColCount; ++c)
        m_modelo->setHorizontalHeaderItem(c, new QStandardItem(QString::fromUtf8(titulos[c])));
    m_filtro->setSourceModel(m_modelo);
    m_filtro->setSortRole(ordemRole);
    m_filtro->setSortLocaleAware(true);
    m_filtro->setSortCaseSensitivity(Qt::CaseInsensitive);
}

ModeloSituacao::~ModeloSituacao() = default;

QAbstractItemModel* ModeloSituacao::visao() const
{
    return m_filtro;
}

void ModeloSituacao::preenche(const QList<ContribuinteRecord>& empresas,
                              const QHash<QString, situacao::Consulta>& consultas)
{
    m_empresas = empresas;
    m_consultas = consultas;
    m_linhaDaIe.clear();
    m_modelo->setRowCount(0);
    m_modelo->setRowCount(int(empresas.size()));
    for (int linha = 0; linha < empresas.size(); ++linha) {
        m_linhaDaIe.insert(empresas[linha].ie, linha);
        for (int c = 0; c < ColCount; ++c)
            m_modelo->setItem(linha, c, new QStandardItem);
        escreveLinha(linha);
    }
}

void ModeloSituacao::atualiza(const QString& ie, const situacao::Consulta& consulta)
{
    m_consultas.insert(ie, consulta);
    if (const auto linha = m_linhaDaIe.constFind(ie); linha != m_linhaDaIe.cend())
        escreveLinha(*linha);
}

void ModeloSituacao::escreveLinha(int linha)
{
    const ContribuinteRecord& empresa = m_empresas.at(linha);
    const Linha l = linhaDe(empresa, m_consultas.value(empresa.ie));
    for (int c = 0; c < ColCount; ++c) {
        QStandardItem* item = m_modelo->item(linha, c);
        const QString& texto = l.textos[c];
        item->setText(texto);
        item->setToolTip(texto);
        // A screen reader reads the column with the value.
        item->setData(QString::fromUtf8(titulos[c]) + QStringLiteral(": ") + texto, Qt::AccessibleTextRole);
        item->setData(c == ColData           ? QVariant(l.data)
                      : c == ColConsultadoEm ? QVariant(l.consultadoEm)
                                             : texto,
                      ordemRole);
    }
    m_modelo->item(linha, 0)->setData(l.semEntrega, semEntregaRole);
}

void ModeloSituacao::setSomenteSemEntrega(bool somente)
{
    m_filtro->setSomenteSemEntrega(somente);
}

const ContribuinteRecord* ModeloSituacao::empresaVista(const QModelIndex& indice) const
{
    const QModelIndex origem = m_filtro->mapToSource(indice);
    return origem.isValid() ? &m_empresas.at(origem.row()) : nullptr;
}

QString ModeloSituacao::textoVisto(int linha, int coluna) const
{
    return m_filtro->index(linha, coluna).data().toString();
}

QByteArray ModeloSituacao::csv() const
{
    QStringList linhas;
    QStringList cabecalho;
    for (const char* titulo : titulos)
        cabecalho << campoCsv(QString::fromUtf8(titulo));
    linhas << cabecalho.join(u';');
    for (int linha = 0; linha < m_filtro->rowCount(); ++linha) {
        QStringList campos;
        for (int c = 0; c < ColCount; ++c) {
            const QModelIndex indice = m_filtro->index(linha, c);
            QString texto = indice.data().toString();
            const QDateTime data = indice.data(ordemRole).toDateTime();
            if (c == ColIE)
                texto = QStringLiteral("=\"%1\"").arg(texto.remove(u'"')); // text: a number would lose its zeros
            else if (c == ColData && data.isValid())
                texto = data.toString(formatoData);
            campos << (c == ColIE ? texto : campoCsv(texto));
        }
        linhas << campos.join(u';');
    }
    return QByteArrayLiteral("\xEF\xBB\xBF") + linhas.join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
}

} // namespace tervalia
