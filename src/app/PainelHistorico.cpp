// The history frame of the main window: the past deliveries, the details of one delivery, its
// receipt and the version state.
#include "PainelHistorico.h"
#include "ui_PainelHistorico.h"

#include "Historico.h"
#include "net/Servidor.h"
#include "net/Soap.h"
#include "platform/Browser.h"
#include "platform/Janela.h"
#include "platform/MessageBox.h"

#include <QHeaderView>
#include <QLocale>
#include <QPointer>
#include <QSignalBlocker>

namespace tervalia {

namespace {
const QString tituloMG = QStringLiteral("Tervalia - MG");
const QString servidorIndisponivel = QStringLiteral("O Servidor está indisponível, tente novamente mais tarde.");

constexpr int recuoArvoreTwips = 400;
// What a cell without an alignment of its own shows.
constexpr Qt::Alignment alinhamentoPadrao = Qt::AlignLeft | Qt::AlignVCenter;

struct ColunaGrid
{
    const char* titulo;
    int larguraTwips;
    Qt::Alignment alinhamento;
};

const ColunaGrid colunasGrid[PainelHistorico::ColCount] = {
    {"Referência", 1500, Qt::AlignHCenter | Qt::AlignTop},
    {"Data de Processamento", 2500, Qt::AlignHCenter | Qt::AlignTop},
    {"Protocolo", 1700, Qt::AlignHCenter | Qt::AlignTop},
    {"Status", 0, Qt::AlignLeft | Qt::AlignVCenter},
    {"Valor Adicionado", 0, Qt::AlignRight | Qt::AlignTop},
};

int twipsToPixels(const QWidget* w, int twips)
{
    return (twips * w->logicalDpiX() + 720) / 1440;
}

QString chamaServidor(QLatin1StringView operacao, const QString& nome, const QString& chave)
{
    namespace h = servidor::historico;
    return EnviaSoap(
        operacao,
        montaEnvelope(operacao, {{h::paramNome, nome}, {h::paramDiretorio, h::diretorio}, {h::paramChave, chave}}));
}

void AdicionaDetalhe(QTreeWidgetItem* raiz, const historico::ItemDetalhe& detalhe)
{
    auto* item = new QTreeWidgetItem(raiz, {detalhe.texto()});
    item->setToolTip(0, detalhe.texto());
    if (detalhe.protocolo)
        item->setData(0, Qt::UserRole, *detalhe.protocolo);
    for (const QString& subitem : detalhe.subitens)
        new QTreeWidgetItem(item, {subitem});
    item->treeWidget()->scrollToItem(item); // expands its parents
}
} // namespace

PainelHistorico::PainelHistorico(QWidget* parent) : QGroupBox(parent), m_ui(std::make_unique<Ui::PainelHistorico>())
{
    m_ui->setupUi(this);
    setupGridTransmissoes();
    QTreeWidget* arvore = m_ui->tvwPessoa;
    arvore->setRootIsDecorated(true);
    arvore->setIndentation(twipsToPixels(arvore, recuoArvoreTwips));
    // A message reads whole on its line; a long one scrolls sideways rather than being cut.
    arvore->header()->setStretchLastSection(false);
    arvore->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    connect(m_ui->GridTransmissoes, &QTableWidget::cellClicked, this, [this](int linha) {
        if (linha >= 0)
            RecebeDadosProtocolo();
    });
    connect(m_ui->cmd_Impressao, &QPushButton::clicked, this, &PainelHistorico::imprimirProtocolo);
}

PainelHistorico::~PainelHistorico() = default;

Qt::Alignment PainelHistorico::alinhamentoColuna(int coluna)
{
    return coluna >= 0 && coluna < ColCount ? colunasGrid[coluna].alinhamento : Qt::AlignLeft | Qt::AlignVCenter;
}

void PainelHistorico::setupGridTransmissoes()
{
    QTableWidget* grid = m_ui->GridTransmissoes;
    grid->setColumnCount(ColCount);
    grid->setRowCount(0);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->setWordWrap(false);
    for (int c = 0; c < ColCount; ++c) {
        auto* header = new QTableWidgetItem(QString::fromUtf8(colunasGrid[c].titulo));
        header->setTextAlignment(colunasGrid[c].alinhamento);
        grid->setHorizontalHeaderItem(c, header);
        const int width = colunasGrid[c].larguraTwips;
        if (width == 0)
            grid->setColumnHidden(c, true); // holds data, never seen
        else
            grid->setColumnWidth(c, twipsToPixels(grid, width));
    }
}

void PainelHistorico::setContribuinte(const QString& ie, const QString& chave)
{
    m_ie = ie;
    m_chave = chave;
}

void PainelHistorico::limpaGrid()
{
    emit entregaPermitida(true);
    m_ui->GridTransmissoes->setRowCount(0);
}

void PainelHistorico::limpa()
{
    m_ui->GridTransmissoes->setRowCount(0);
    m_ui->labelOK->hide();
    escondeDetalhes();
    m_ui->tvwPessoa->clear();
    m_ui->PathMDB->clear();
    m_ui->lblAtualizado->hide();
    m_ui->lblnovaatualizacao->hide();
}

void PainelHistorico::escondeDetalhes()
{
    m_ui->tvwPessoa->hide();
    m_ui->detApuracao->hide();
}

void PainelHistorico::mostraDetalhes()
{
    const QTreeWidgetItem* raiz = m_ui->tvwPessoa->topLevelItem(0);
    const bool mensagens = raiz && raiz->childCount() > 0;
    m_ui->detApuracao->setVisible(mensagens);
    m_ui->tvwPessoa->setVisible(mensagens);
}

QString PainelHistorico::pathMDB() const
{
    return m_ui->PathMDB->text();
}

void PainelHistorico::setPathMDB(const QString& caminho)
{
    m_ui->PathMDB->setText(caminho);
}

// The installed version is current when the server's whole answer holds info.dip's content.
void PainelHistorico::mostraVersao(const QString& respostaCompleta, const QString& marcaInstalada,
                                   const QString& versaoServidor)
{
    const bool atualizado = respostaCompleta.contains(marcaInstalada);
    m_ui->lblAtualizado->setVisible(atualizado);
    if (!atualizado)
        m_ui->lblnovaatualizacao->setText(QStringLiteral("Nova atualização disponível para download - versão ") +
                                          versaoServidor);
    m_ui->lblnovaatualizacao->setVisible(!atualizado);
}

bool PainelHistorico::PopulaGridTransmissoes(const QString& XMLConteudo, QString* motivo)
{
    using historico::Rejeicao;
    const Rejeicao rejeicao = historico::rejeicao(XMLConteudo);
    if (rejeicao == Rejeicao::ChaveInvalida) {
        MessageBox::show(this, QStringLiteral("Chave inválida"), tituloMG, QMessageBox::Critical);
        emit entregaPermitida(false);
        return true;
    }
    emit entregaPermitida(true);
    QTableWidget* grid = m_ui->GridTransmissoes;
    grid->setRowCount(0);
    if (rejeicao == Rejeicao::AcessoNaoAutorizado) {
        MessageBox::show(this, QStringLiteral("Acesso não autorizado"), tituloMG, QMessageBox::Information);
        return true;
    }
    QList<historico::Linha> linhas;
    try {
        linhas = historico::lerTransferencias(XMLConteudo);
    } catch (const historico::XmlError& erro) {
        if (motivo)
            *motivo = erro.motivo();
        return false;
    }
    // Tens of thousands of rows fill in one go: no repaint, and no change signal, per cell; the
    // view reads the cells afresh when it is painted.
    grid->setUpdatesEnabled(false);
    grid->setRowCount(int(linhas.size()));
    {
        const QSignalBlocker semSinais(grid->model());
        for (int linha = 0; linha < grid->rowCount(); ++linha) {
            for (int coluna = 0; coluna < ColCount; ++coluna) {
                auto* celula = new QTableWidgetItem(std::move(linhas[linha][coluna]));
                if (alinhamentoColuna(coluna) != alinhamentoPadrao)
                    celula->setTextAlignment(alinhamentoColuna(coluna));
                if (coluna == ColReferencia)
                    celula->setToolTip(celula->text());
                grid->setItem(linha, coluna, celula);
            }
        }
    }
    ajustaColunaReferencia();
    grid->setUpdatesEnabled(true);
    return true;
}

// Every reference whole on one line.
void PainelHistorico::ajustaColunaReferencia()
{
    QTableWidget* grid = m_ui->GridTransmissoes;
    const int minima = twipsToPixels(grid, colunasGrid[ColReferencia].larguraTwips);
    grid->setColumnWidth(ColReferencia, janela::larguraDaColuna(grid, ColReferencia, minima));
}

void PainelHistorico::RecebeDadosProtocolo()
{
    QTableWidget* grid = m_ui->GridTransmissoes;
    const int linha = grid->currentRow();
    if (linha < 0)
        return;
    auto celula = [grid, linha](int coluna) {
        const QTableWidgetItem* item = grid->item(linha, coluna);
        return item ? item->text() : QString();
    };
    bool numero = false;
    const double status = QLocale::c().toDouble(celula(ColStatus).trimmed(), &numero);
    if (!numero) {
        MessageBox::show(this, servidorIndisponivel, tituloMG);
        return;
    }
    if (status == servidor::historico::statusComDetalhes) {
        // A close asked for during the call waits for its end (EnviaSoap); the panel is still
        // checked before it is touched again.
        const QPointer<PainelHistorico> painel(this);
        QString resposta;
        try {
            resposta = chamaServidor(servidor::operacao::detalhes, celula(ColProtocolo), m_chave);
        } catch (const SoapError& erro) {
            if (painel) {
                escondeDetalhes(); // what the tree holds is another delivery's
                MessageBox::show(this, servidorIndisponivel + erro.causaSeguranca(), tituloMG);
            }
            return;
        }
        if (!painel)
            return;
        bool leituraFalhou = false;
        const QString retorno = GetResult(resposta, servidor::elementoResultado, &leituraFalhou);
        if (leituraFalhou || !CarregaArvoreDetalhes(retorno)) {
            escondeDetalhes();
            MessageBox::show(this, servidorIndisponivel, tituloMG);
            return;
        }
        m_ui->labelOK->hide();
    } else if (status == servidor::historico::statusSemMensagens) {
        m_ui->labelOK->show();
        escondeDetalhes();
    }
}

bool PainelHistorico::CarregaArvoreDetalhes(const QString& XMLConteudo)
{
    historico::Detalhes detalhes;
    try {
        detalhes = historico::lerDetalhes(XMLConteudo);
    } catch (const historico::XmlError& erro) {
        // What the tree still holds belongs to an earlier delivery.
        escondeDetalhes();
        MessageBox::show(this, erro.motivo());
        return true;
    } catch (const historico::DetalhesError&) {
        escondeDetalhes();
        return false;
    }
    QTreeWidget* arvore = m_ui->tvwPessoa;
    if (arvore->topLevelItemCount() > 0)
        delete arvore->takeTopLevelItem(0);
    auto* raiz = new QTreeWidgetItem(arvore, {detalhes.raiz});
    for (const historico::ItemDetalhe& item : detalhes.itens)
        AdicionaDetalhe(raiz, item);
    mostraDetalhes();
    return true;
}

// The receipt page of the current row (historico::enderecoRecibo).
void PainelHistorico::imprimirProtocolo()
{
    QTableWidget* grid = m_ui->GridTransmissoes;
    const QTableWidgetItem* celula = grid->currentRow() >= 0 ? grid->item(grid->currentRow(), ColReferencia) : nullptr;
    // No current row reads as the header, whose "Referência" has no "/".
    const QString referencia = celula ? celula->text() : grid->horizontalHeaderItem(ColReferencia)->text();
    if (!referencia.contains(u'/')) {
        MessageBox::show(this, QStringLiteral("Selecione uma entrega específica"), tituloMG, QMessageBox::Information);
        return;
    }
    const historico::EnderecoRecibo recibo = historico::enderecoRecibo(m_ie, m_chave, referencia);
    if (!recibo.erro.isEmpty()) {
        MessageBox::show(this, recibo.erro, tituloMG, QMessageBox::Critical);
        return;
    }
    OpenBrowser(recibo.endereco);
}

bool PainelHistorico::OpenBrowser(QString url)
{
    if (!url.startsWith(QLatin1String("http"), Qt::CaseInsensitive))
        url.prepend(QLatin1String("http://"));
    return Browser::open(url);
}

} // namespace tervalia
