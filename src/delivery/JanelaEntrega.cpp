#include "JanelaEntrega.h"

#include "app/JanelaPrincipal.h"
#include "PainelUpload.h"
#include "platform/MessageBox.h"
#include "platform/Session.h"
#include "RespostaEntrega.h"
#include "storage/Database.h"
#include "storage/Entregas.h"
#include "taxpayers/DadosContador.h"
#include "taxpayers/SelecionarCertificado.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>

#include <algorithm>

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

QString nomeEmpresa(const EmpresaEntrega& e)
{
    return QStringLiteral("%1 (IE %2)").arg(e.razaoSocial, e.ie);
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
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
    carregaContador();
}

JanelaEntrega::~JanelaEntrega() = default;

bool JanelaEntrega::enviando() const
{
    const Upload::Estado e = m_upload->estado();
    return m_dentroDoEnvio || e == Upload::Estado::Conectando || e == Upload::Estado::Enviando ||
           e == Upload::Estado::Enviado || e == Upload::Estado::Recebendo;
}

QString JanelaEntrega::impedimento(const QString& ie) const
{
    if (!enviando() || ie == m_empresa.ie)
        return {};
    return QStringLiteral("A entrega de %1 ainda aguarda a resposta do servidor. Aguarde a resposta antes de "
                          "iniciar outra entrega.")
        .arg(nomeEmpresa(m_empresa));
}

void JanelaEntrega::setEmpresa(const EmpresaEntrega& empresa)
{
    const bool outra = empresa.ie != m_empresa.ie;
    m_empresa = empresa;
    if (m_lblEmpresa)
        m_lblEmpresa->setText(QStringLiteral("Contribuinte: %1 - IE %2").arg(empresa.razaoSocial, empresa.ie));
    if (outra)
        empresaTrocada();
}

void JanelaEntrega::mostra()
{
    show();
    raise();
    activateWindow();
}

// Wide enough for the caption (the working year is appended to it) on the screen it is on.
void JanelaEntrega::larguraDoTitulo()
{
    QFont fonte = font();
    fonte.setBold(true);
    constexpr int botoesDaBarra = 160;
    int largura = QFontMetrics(fonte).horizontalAdvance(windowTitle()) + botoesDaBarra;
    if (const QScreen* tela = screen() ? screen() : QGuiApplication::primaryScreen())
        largura = std::min(largura, tela->availableGeometry().width());
    if (width() < largura)
        resize(largura, height());
}

void JanelaEntrega::changeEvent(QEvent* evento)
{
    if (evento->type() == QEvent::WindowTitleChange)
        larguraDoTitulo();
    QWidget::changeEvent(evento);
}

void JanelaEntrega::carregaContador()
{
    try {
        m_cpfCnpjContador = tervalia::cpfCnpjContador();
    } catch (const DatabaseError& erro) {
        MessageBox::show(this, RelatorioErroBanco(erro));
    }
}

void JanelaEntrega::ligaPainel(PainelUpload* painel, QLabel* lblEmpresa)
{
    m_painel = painel;
    m_lblEmpresa = lblEmpresa;
    larguraDoTitulo();
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

void JanelaEntrega::enviar(const QString& endereco, const QString& nomeArquivo, const QString& conteudo,
                           const QString& detalhe)
{
    if (enviando() || m_upload->estado() == Upload::Estado::Respondido)
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
        m_painel->iniciaProgresso();
    }
    pedido.nomeCampo = m_painel->txtName->text();
    pedido.tipoMime = m_painel->txtMIMEType->text();
    m_detalhe = detalhe;

    m_dentroDoEnvio = true;
    const InicioUpload inicio = m_upload->iniciar(pedido);
    if (!viva)
        return;
    m_dentroDoEnvio = false;
    if (!inicio.iniciado())
        m_painel->limpaProgresso();
    if (!inicio.mensagem.isEmpty())
        MessageBox::show(this, inicio.mensagem, inicio.titulo, QMessageBox::Critical);
    if (m_fecharAoVoltar)
        close();
}

void JanelaEntrega::respostaConcluida(const RespostaUpload& resposta)
{
    const QString erroCopia = registraEntrega(m_empresa.ie, m_empresa.razaoSocial, resposta);
    for (const QString& mensagem : resposta.mensagensRecusa)
        MessageBox::show(paiDasMensagens(), mensagem);
    if (!erroCopia.isEmpty())
        MessageBox::show(paiDasMensagens(),
                         QStringLiteral("A entrega foi enviada, mas a cópia dela não pôde ser guardada nesta "
                                        "máquina: ") +
                             erroCopia,
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
        principal->mostraResultadoEntrega(resultadoEntrega(leResposta(primeiraLinhaResposta(resposta.resposta)),
                                                           m_empresa.razaoSocial, m_empresa.ie, m_detalhe));
    }
    fecha();
}

// The window stays as it was, file chosen, so that the user can send again.
void JanelaEntrega::erroSocket(const QString& descricao)
{
    m_painel->limpaProgresso();
    MessageBox::show(paiDasMensagens(),
                     QStringLiteral("A entrega de %1 não foi concluída.\r\n%2\r\nO arquivo escolhido foi mantido para "
                                    "uma nova tentativa.")
                         .arg(nomeEmpresa(m_empresa), descricao),
                     QStringLiteral("ERROR"), QMessageBox::Warning);
}

// A window hidden by "&Cancelar" speaks through the main window.
QWidget* JanelaEntrega::paiDasMensagens()
{
    JanelaPrincipal* principal = JanelaPrincipal::aberta();
    return isVisible() || !principal ? static_cast<QWidget*>(this) : principal->janela();
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

void JanelaEntrega::cancela()
{
    JanelaPrincipal::switchOn();
    hide();
}

// An upload under way is never dropped without a word: the window only hides until the answer.
void JanelaEntrega::closeEvent(QCloseEvent* evento)
{
    if (enviando() && !programEnding()) {
        evento->ignore();
        cancela();
        return;
    }
    m_upload->cancelar();
    JanelaPrincipal::switchOn();
    evento->accept();
}

} // namespace tervalia
