// The main window's part that follows the deliveries: the selected taxpayer, the history refresh
// with the version check, the details of a delivery and its receipt.
#include "Principal.h"
#include "ui_Principal.h"

#include "Historico.h"
#include "net/Servidor.h"
#include "net/Soap.h"
#include "platform/Browser.h"
#include "platform/MessageBox.h"
#include "storage/ReadWrite.h"

#include <QLocale>
#include <QPointer>

namespace tervalia {

namespace {
const QString tituloMG = QStringLiteral("Tervalia - MG");

// The same words, once with and once without the accent: the refresh has always written it
// without, the details with.
const QString servidorIndisponivelRefresh = QStringLiteral("O Servidor está indisponivel, tente novamente mais tarde.");
const QString servidorIndisponivel = QStringLiteral("O Servidor está indisponível, tente novamente mais tarde.");

constexpr int recuoArvoreTwips = 400;

using Resultado = Principal::ResultadoAtualizacao;

Resultado falha(Resultado::Falha tipo, const QString& descricao)
{
    return {tipo, descricao};
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
    if (detalhe.protocolo)
        item->setData(0, Qt::UserRole, *detalhe.protocolo);
    for (const QString& subitem : detalhe.subitens)
        new QTreeWidgetItem(item, {subitem});
    item->treeWidget()->scrollToItem(item); // expands its parents
}
} // namespace

void Principal::setupHistorico()
{
    QTreeWidget* arvore = m_ui->tvwPessoa;
    arvore->setRootIsDecorated(true);
    arvore->setIndentation((recuoArvoreTwips * arvore->logicalDpiX() + 720) / 1440);
    connect(m_ui->GridTransmissoes, &QTableWidget::cellClicked, this, [this](int linha) {
        if (linha >= 0)
            RecebeDadosProtocolo();
    });
    connect(m_ui->cmd_Impressao, &QPushButton::clicked, this, &Principal::imprimirProtocolo);
}

void Principal::selecionaContribuinte(const QString& ie, const QString& razaoSocial, const QString& chave)
{
    m_ui->IESel->setText(ie);
    m_ui->RSSel->setText(razaoSocial);
    m_ui->lblChave->setText(chave);
    m_ui->frmImportacao->show();
    m_ui->Command1->show();
}

QString Principal::ieSelecionada() const
{
    return m_ui->IESel->text();
}

QString Principal::razaoSocialSelecionada() const
{
    return m_ui->RSSel->text();
}

QString Principal::chaveSelecionada() const
{
    return m_ui->lblChave->text();
}

void Principal::retiraSelecao()
{
    m_ui->RSSel->clear();
    m_ui->IESel->clear();
    m_ui->lblChave->clear();
    m_ui->frmImportacao->hide();
    m_ui->Command1->hide();
}

Principal::ResultadoAtualizacao Principal::RecebeDadosServer()
{
    namespace h = servidor::historico;
    const std::optional<QString> marcaInstalada = historico::lerMarcaVersao();
    if (!marcaInstalada)
        return falha(Resultado::SemInfoDip,
                     QStringLiteral("O arquivo info.dip não pôde ser lido na pasta do programa."));

    QString resposta;
    const QPointer<Principal> janela(this);
    try {
        resposta = chamaServidor(servidor::operacao::historico, ieSelecionada(), chaveSelecionada());
    } catch (const SoapError& erro) {
        return falha(Resultado::Transferencia, erro.description());
    }
    if (!janela) // a close during the call waits for its end, but nothing below touches a window gone
        return falha(Resultado::Transferencia, QStringLiteral("A janela principal foi fechada durante a chamada."));

    bool leituraFalhou = false;
    const QString retorno = GetResult(resposta, servidor::elementoResultado, &leituraFalhou);
    if (leituraFalhou) {
        // Nothing readable came back: the rows shown belong to no answer any more.
        m_ui->Command1->setEnabled(true);
        m_ui->GridTransmissoes->setRowCount(0);
        MessageBox::show(this, servidorIndisponivelRefresh, tituloMG);
        return falha(Resultado::RespostaIlegivel, QStringLiteral("A resposta do servidor não pôde ser lida."));
    }
    QString motivo;
    if (!PopulaGridTransmissoes(retorno, &motivo))
        return falha(Resultado::HistoricoInvalido,
                     QStringLiteral("O histórico enviado pelo servidor não pôde ser lido: %1").arg(motivo));

    if (resposta.contains(h::marcaChaveRecusada)) {
        retiraSelecao();
        return {};
    }
    const QString textoData = historico::trecho(retorno, h::posDataServidor, h::lenDataServidor);
    const std::optional<QDateTime> data = historico::converteDataServidor(textoData);
    if (!data)
        return falha(Resultado::DataInvalida,
                     QStringLiteral("A data do servidor não pôde ser lida: \"%1\".").arg(textoData));
    DataServidor = *data;
    anoTrabalho = historico::trecho(retorno, h::posAnoTrabalho, h::lenAnoTrabalho);
    mostraVersao(resposta, *marcaInstalada, historico::trecho(retorno, h::posVersao, h::lenVersao));
    m_ui->tvwPessoa->hide();
    m_ui->detApuracao->hide();
    return {};
}

// The installed version is current when the server's whole answer holds info.dip's content.
void Principal::mostraVersao(const QString& respostaCompleta, const QString& marcaInstalada,
                             const QString& versaoServidor)
{
    const bool atualizado = respostaCompleta.contains(marcaInstalada);
    m_ui->lblAtualizado->setVisible(atualizado);
    if (!atualizado)
        m_ui->lblnovaatualizacao->setText(QStringLiteral("Nova atualização disponível para download - versão ") +
                                          versaoServidor);
    m_ui->lblnovaatualizacao->setVisible(!atualizado);
}

bool Principal::PopulaGridTransmissoes(const QString& XMLConteudo, QString* motivo)
{
    using historico::Rejeicao;
    const Rejeicao rejeicao = historico::rejeicao(XMLConteudo);
    if (rejeicao == Rejeicao::ChaveInvalida) {
        MessageBox::show(this, QStringLiteral("Chave inválida"), tituloMG, QMessageBox::Critical);
        m_ui->Command1->setEnabled(false);
        return true;
    }
    m_ui->Command1->setEnabled(true);
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
    grid->setRowCount(int(linhas.size()));
    for (int linha = 0; linha < grid->rowCount(); ++linha) {
        for (int coluna = 0; coluna < ColCount; ++coluna) {
            auto* celula = new QTableWidgetItem(linhas[linha][coluna]);
            celula->setTextAlignment(alinhamentoColuna(coluna));
            grid->setItem(linha, coluna, celula);
        }
    }
    return true;
}

void Principal::RecebeDadosProtocolo()
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
        // A close asked for during the call waits for its end (EnviaSoap); the window is still
        // checked before it is touched again.
        const QPointer<Principal> janela(this);
        QString resposta;
        try {
            resposta = chamaServidor(servidor::operacao::detalhes, celula(ColProtocolo), chaveSelecionada());
        } catch (const SoapError&) {
            if (janela)
                MessageBox::show(this, servidorIndisponivel, tituloMG);
            return;
        }
        if (!janela)
            return;
        bool leituraFalhou = false;
        const QString retorno = GetResult(resposta, servidor::elementoResultado, &leituraFalhou);
        if (leituraFalhou || !CarregaArvoreDetalhes(retorno)) {
            if (janela)
                MessageBox::show(this, servidorIndisponivel, tituloMG);
            return;
        }
        if (!janela)
            return;
        m_ui->labelOK->hide();
    } else if (status == servidor::historico::statusSemMensagens) {
        m_ui->labelOK->show();
        m_ui->tvwPessoa->hide();
    }
}

bool Principal::CarregaArvoreDetalhes(const QString& XMLConteudo)
{
    historico::Detalhes detalhes;
    try {
        detalhes = historico::lerDetalhes(XMLConteudo);
    } catch (const historico::XmlError& erro) {
        MessageBox::show(this, erro.motivo());
        return true;
    } catch (const historico::DetalhesError&) {
        return false;
    }
    QTreeWidget* arvore = m_ui->tvwPessoa;
    if (arvore->topLevelItemCount() > 0)
        delete arvore->takeTopLevelItem(0);
    auto* raiz = new QTreeWidgetItem(arvore, {detalhes.raiz});
    for (const historico::ItemDetalhe& item : detalhes.itens)
        AdicionaDetalhe(raiz, item);
    return true;
}

// The receipt page is on the server's host without a port, so it is always reached on the HTTP
// default port. The values go into the address as they are.
void Principal::imprimirProtocolo()
{
    const QString host = ReadFromFile(servidor::secaoConfiguracao, servidor::chaveHost);
    QTableWidget* grid = m_ui->GridTransmissoes;
    const QTableWidgetItem* celula = grid->currentRow() >= 0 ? grid->item(grid->currentRow(), ColReferencia) : nullptr;
    // No current row reads as the header, whose "Referência" has no "/".
    const QString referencia = celula ? celula->text() : grid->horizontalHeaderItem(ColReferencia)->text();
    if (!referencia.contains(u'/')) {
        MessageBox::show(this, QStringLiteral("Selecione uma entrega específica"), tituloMG, QMessageBox::Information);
        return;
    }
    const QString endereco = QLatin1String("http://") + host + servidor::caminhoProtocolo + u'?' +
                             servidor::queryProtocoloIe + u'=' + ieSelecionada() + u'&' +
                             servidor::queryProtocoloChave + u'=' + chaveSelecionada() + u'&' +
                             servidor::queryProtocoloRef + u'=' + QString(referencia).remove(u' ');
    OpenBrowser(endereco);
}

bool Principal::OpenBrowser(QString url)
{
    if (!url.startsWith(QLatin1String("http"), Qt::CaseInsensitive))
        url.prepend(QLatin1String("http://"));
    return Browser::open(url);
}

} // namespace tervalia
