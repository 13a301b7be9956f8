// The main window's part that follows the deliveries: the selected taxpayer and the history refresh
// with the version check. The frame that shows the history is PainelHistorico.
#include "Principal.h"
#include "ui_Principal.h"

#include "Historico.h"
#include "net/Servidor.h"
#include "net/Soap.h"
#include "platform/MessageBox.h"

#include <QPointer>

namespace tervalia {

namespace {
const QString tituloMG = QStringLiteral("Tervalia - MG");

// The same words, once with and once without the accent: the refresh has always written it
// without, the details with.
const QString servidorIndisponivelRefresh = QStringLiteral("O Servidor está indisponivel, tente novamente mais tarde.");

using Resultado = ResultadoAtualizacao;

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
} // namespace

// Nothing of the company selected before stays: its history, its details, the file chosen for it
// and the version state until this company's refresh tells it again.
void Principal::selecionaContribuinte(const QString& ie, const QString& razaoSocial, const QString& chave)
{
    historico()->limpa();
    m_ui->IESel->setText(ie);
    m_ui->RSSel->setText(razaoSocial);
    m_ui->lblChave->setText(chave);
    historico()->setContribuinte(ie, chave);
    historico()->show();
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
    historico()->limpa();
    historico()->setContribuinte({}, {});
    historico()->hide();
    m_ui->Command1->hide();
}

ResultadoAtualizacao Principal::RecebeDadosServer()
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
        historico()->limpaGrid();
        MessageBox::show(this, servidorIndisponivelRefresh, tituloMG);
        return falha(Resultado::RespostaIlegivel, QStringLiteral("A resposta do servidor não pôde ser lida."));
    }
    QString motivo;
    if (!historico()->PopulaGridTransmissoes(retorno, &motivo))
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
    historico()->mostraVersao(resposta, *marcaInstalada, historico::trecho(retorno, h::posVersao, h::lenVersao));
    historico()->escondeDetalhes();
    return {};
}

} // namespace tervalia
