#include "JanelaEntrega.h"

#include "app/JanelaPrincipal.h"
#include "PainelUpload.h"
#include "platform/MessageBox.h"
#include "storage/Database.h"
#include "taxpayers/DadosContador.h"
#include "taxpayers/SelecionarCertificado.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QScrollBar>

namespace tervalia {

namespace {
const QString tituloMG = QStringLiteral("Tervalia - MG");

std::function<void(OpcoesUpload&)>& ajusteTestes()
{
    static std::function<void(OpcoesUpload&)> ajuste;
    return ajuste;
}

OpcoesUpload ajustadas(OpcoesUpload opcoes)
{
    if (ajusteTestes())
        ajusteTestes()(opcoes);
    return opcoes;
}
} // namespace

void JanelaEntrega::setAjusteParaTestes(std::function<void(OpcoesUpload&)> ajuste)
{
    ajusteTestes() = std::move(ajuste);
}

JanelaEntrega::JanelaEntrega(OpcoesUpload opcoes, QWidget* parent)
    : QWidget(parent), m_upload(new Upload(ajustadas(std::move(opcoes)), this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    m_upload->setObjectName(QStringLiteral("Winsock1"));
    carregaContador();
}

JanelaEntrega::~JanelaEntrega() = default;

void JanelaEntrega::carregaContador()
{
    try {
        m_cpfCnpjContador = tervalia::cpfCnpjContador();
    } catch (const DatabaseError& erro) {
        MessageBox::show(this, RelatorioErroBanco(erro));
    }
}

void JanelaEntrega::ligaPainel(PainelUpload* painel)
{
    m_painel = painel;
    connect(m_upload, &Upload::requisicaoPronta, painel->txtRequest, &QPlainTextEdit::setPlainText);
    connect(m_upload, &Upload::progresso, this, [painel](const QString& texto, int valor) {
        painel->lblSendSpeed->setText(texto);
        painel->ProgressBar1->setValue(valor);
    });
    // A file sent in one piece reports a single progress event at 0 %: the bar shows the end.
    connect(m_upload, &Upload::envioConcluido, this, [painel](const QString& texto) {
        painel->lblSendSpeed->setText(texto);
        painel->ProgressBar1->setValue(100);
    });
    connect(m_upload, &Upload::dadosRecebidos, this, [painel](const QString& texto) {
        painel->txtResponse->moveCursor(QTextCursor::End);
        painel->txtResponse->insertPlainText(texto);
        JanelaPrincipal::switchOn();
    });
    connect(m_upload, &Upload::respostaConcluida, this, &JanelaEntrega::respostaConcluida);
    connect(m_upload, &Upload::erroSocket, this, &JanelaEntrega::erroSocket);
}

void JanelaEntrega::enviar(const QString& endereco, const QString& nomeArquivo, const QString& conteudo)
{
    const Upload::Estado estado = m_upload->estado();
    if (m_dentroDoEnvio || (estado != Upload::Estado::Ocioso && estado != Upload::Estado::Falhou))
        return;
    JanelaPrincipal* principal = JanelaPrincipal::aberta();
    const QPointer<JanelaEntrega> viva(this);
    const ResultadoCertificado certificado =
        SelecionarCertificado(this, PedidoCertificado{FormaCertificado::Entrega,
                                                      {},
                                                      m_cpfCnpjContador,
                                                      principal ? principal->DataServidor : QDateTime(),
                                                      m_upload->certificadoValido()});
    if (!viva)
        return;
    m_upload->setCertificadoValido(certificado.certificadoValido);
    if (!certificado.certificadoValido)
        return;

    const QString escolhido = m_painel->txtUploadFile->text();
    PedidoUpload pedido =
        pedidoUpload(QString(), escolhido.isEmpty() || conteudo.isEmpty() ? escolhido : conteudo, nomeArquivo);
    if (!pedido.arquivo.isEmpty()) {
        m_painel->txtUrl->setText(endereco);
        pedido.endereco = m_painel->txtUrl->text();
        m_painel->txtResponse->clear();
    }
    pedido.nomeCampo = m_painel->txtName->text();
    pedido.tipoMime = m_painel->txtMIMEType->text();
    if (principal) {
        pedido.ie = principal->ieSelecionada();
        pedido.razaoSocial = principal->razaoSocialSelecionada();
    }

    m_dentroDoEnvio = true;
    const InicioUpload inicio = m_upload->iniciar(pedido);
    if (!viva)
        return;
    m_dentroDoEnvio = false;
    if (!inicio.mensagem.isEmpty())
        MessageBox::show(this, inicio.mensagem, inicio.titulo, QMessageBox::Critical);
    if (m_fecharAoVoltar)
        close();
}

void JanelaEntrega::respostaConcluida(const RespostaUpload& resposta)
{
    for (const QString& mensagem : resposta.mensagensRecusa)
        MessageBox::show(this, mensagem);
    if (!resposta.erroCopia.isEmpty())
        MessageBox::show(this,
                         QStringLiteral("A entrega foi enviada, mas a cópia dela não pôde ser guardada nesta "
                                        "máquina: ") +
                             resposta.erroCopia,
                         tituloMG, QMessageBox::Warning);
    if (JanelaPrincipal* principal = JanelaPrincipal::aberta()) {
        const ResultadoAtualizacao r = principal->RecebeDadosServer();
        // An unreadable answer has already been told by the refresh itself.
        if (!r.ok() && r.falha != ResultadoAtualizacao::RespostaIlegivel)
            MessageBox::show(principal->janela(),
                             QStringLiteral("O arquivo foi enviado, mas o histórico de transmissões não pôde ser "
                                            "atualizado: ") +
                                 r.descricao,
                             tituloMG, QMessageBox::Warning);
    }
    fecha();
}

void JanelaEntrega::erroSocket(const QString& descricao)
{
    if (m_upload->opcoes().reacaoErro == OpcoesUpload::ReacaoErro::Mensagem)
        MessageBox::show(this, descricao, QStringLiteral("ERROR"), QMessageBox::Warning);
    else
        fecha();
}

// The window is not closed while the send button's handler is still waiting for the connection:
// it closes as soon as that handler returns.
void JanelaEntrega::fecha()
{
    if (m_dentroDoEnvio)
        m_fecharAoVoltar = true;
    else
        close();
}

void JanelaEntrega::closeEvent(QCloseEvent* evento)
{
    m_upload->cancelar();
    JanelaPrincipal::switchOn();
    evento->accept();
}

} // namespace tervalia
