#include "frmEntregaLote.h"
#include "ui_frmEntregaLote.h"

#include "ArquivoEnvioVaf.h"
#include "ConverteVAF.h"
#include "EscolhaArquivo.h"
#include "frmUpload.h"
#include "ListaLote.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "storage/Database.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace tervalia {

namespace {
const QString tituloMG = QStringLiteral("Tervalia - MG");
// Where the window keeps the file it posts.
const QString pastaCopia = QStringLiteral("entrega-lote");
} // namespace

frmEntregaLote::frmEntregaLote(QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::frmEntregaLote>()), m_envio(new EnvioLote(this))
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    m_ui->divisao->setStretchFactor(0, 3);
    m_ui->divisao->setStretchFactor(1, 2);
    m_ui->divisaoListas->setStretchFactor(0, 3);
    m_ui->divisaoListas->setStretchFactor(1, 2);
    lista_lote::preencheForaDoLote(m_ui->GridForaDoLote, {});
    lista_lote::preparaResumo(m_ui->GridResumo);
    connect(m_ui->cmdEscolher, &QPushButton::clicked, this, &frmEntregaLote::escolheArquivo);
    connect(m_ui->cmdFechar, &QPushButton::clicked, this, &QWidget::close);
    ligaEnvio();
}

frmEntregaLote::~frmEntregaLote() = default;

frmEntregaLote* frmEntregaLote::abrir()
{
    frmEntregaLote* janela = instance();
    janela->show();
    janela->raise();
    janela->activateWindow();
    return janela;
}

void frmEntregaLote::setControlesAtivos(bool ativos)
{
    m_ui->cmdEscolher->setEnabled(ativos);
    m_ui->cmdEnviar->setEnabled(ativos && !lista_lote::marcadas(m_ui->GridEmpresas, m_lote.empresas).isEmpty());
    m_ui->cmdReenviar->setEnabled(ativos && !m_falharam.isEmpty());
}

void frmEntregaLote::escolheArquivo()
{
    if (m_convertendo || m_envio->emAndamento())
        return;
    // The VAF window posts the program directory's converted file when its user presses "Enviar":
    // a conversion here would change it under that window.
    const QString ocupado = frmUpload::existing()
                                ? QStringLiteral("Feche antes a janela de entrega VAF de uma empresa "
                                                 "(\"Selecione o arquivo GDB para Entrega\"): as duas "
                                                 "janelas preparam o mesmo arquivo de trabalho.")
                            : ConversaoVafEmCurso::ativa() ? ConversaoVafEmCurso::mensagemOcupado()
                                                           : QString();
    if (!ocupado.isEmpty()) {
        MessageBox::show(this, ocupado, tituloMG, QMessageBox::Warning);
        return;
    }
    const QString caminho =
        FileDialog::getOpenFileName(this, QStringLiteral("Selecione o arquivo VAF.GDB"), EscolhaArquivo::ultimaPasta(),
                                    QStringLiteral("VAF-MG (*.GDB *.gdb);;Todos os arquivos (*)"));
    if (caminho.isEmpty())
        return;
    EscolhaArquivo::lembraPasta(QFileInfo(caminho).absolutePath());
    if (!caminho.endsWith(QLatin1String(".GDB"), Qt::CaseInsensitive)) {
        MessageBox::show(this, QStringLiteral("Arquivo inválido.\r\n\r\nO arquivos que esperamos deve ser VAF.GDB"),
                         tituloMG, QMessageBox::Critical);
        return;
    }
    MessageBox::show(this,
                     QStringLiteral("Por favor, se o programa VAF-MG estiver aberto queira por gentileza fechá-lo."),
                     tituloMG, QMessageBox::Warning);
    converte(caminho);
}

// The conversion of the VAF window, with its progress; the window cannot be closed meanwhile.
void frmEntregaLote::converte(const QString& caminho)
{
    const ConversaoVafEmCurso emCurso;
    m_convertendo = true;
    m_lote = {};
    m_respondidas.clear();
    m_falharam.clear();
    m_ui->GridEmpresas->clear();
    lista_lote::preencheForaDoLote(m_ui->GridForaDoLote, {});
    lista_lote::preparaResumo(m_ui->GridResumo);
    m_ui->lblEnvio->clear();
    m_ui->txtArquivo->setText(QDir::toNativeSeparators(caminho));
    m_nomeArquivo = QFileInfo(caminho).fileName();
    setControlesAtivos(false);
    m_ui->ocorrencia->clear();
    m_ui->Progresso->setValue(0);
    m_ui->Preparacao->show();
    const ResultadoConversao resultado = ConverteVAF(caminho, [this](const ProgressoConversao& p) {
        m_ui->ocorrencia->setText(p.ocorrencia);
        m_ui->Progresso->setValue(p.progresso);
        QCoreApplication::processEvents();
    });
    m_ui->Preparacao->hide();
    QString erro = resultado.erro;
    m_copia = resultado.ok ? copiaArquivoEnvioVaf(pastaCopia, &erro) : QString();
    if (m_copia.isEmpty())
        MessageBox::show(this, erro, tituloMG, QMessageBox::Critical);
    else
        lista();
    m_convertendo = false;
    setControlesAtivos(true);
}

// The companies of the file and, from the server, the working year and its date.
void frmEntregaLote::lista()
{
    try {
        m_lote = compoeLote(cadastro::listContribuintes(), ContribuintesVAF(), ListaDocumentosVAF);
    } catch (const DatabaseError& erro) {
        MessageBox::show(this, RelatorioErroBanco(erro));
        return;
    }
    const DadosServidor dados = consultaDadosServidor(m_lote.empresas);
    m_anoTrabalho = dados.anoTrabalho;
    m_dataServidor = dados.dataServidor;
    if (!dados.erro.isEmpty() && !m_lote.empresas.isEmpty())
        MessageBox::show(this,
                         QStringLiteral("O ano de trabalho não pôde ser consultado no servidor: %1\r\nNenhum "
                                        "documento pode ser marcado; escolha o arquivo de novo quando o servidor "
                                        "responder.")
                             .arg(dados.erro),
                         tituloMG, QMessageBox::Warning);
    marcaAnoTrabalho(m_lote, m_anoTrabalho);
    lista_lote::preencheEmpresas(m_ui->GridEmpresas, m_lote.empresas, m_anoTrabalho, m_respondidas);
    lista_lote::preencheForaDoLote(m_ui->GridForaDoLote, m_lote.fora);
    if (!m_anoTrabalho.isEmpty())
        m_ui->Frame1->setTitle(QStringLiteral("Empresas e documentos a enviar - Ano trabalho: ") + m_anoTrabalho);
}

// A conversion cannot be left half done; an upload under way is let finish, then the run stops and
// the window closes.
void frmEntregaLote::closeEvent(QCloseEvent* evento)
{
    if (m_convertendo) {
        evento->ignore();
        return;
    }
    if (m_envio->emAndamento()) {
        m_fecharAoTerminar = true;
        m_envio->para();
        m_ui->lblEnvio->setText(QStringLiteral("A janela será fechada quando o envio em andamento terminar."));
        evento->ignore();
        return;
    }
    descartaCopia(pastaCopia);
    evento->accept();
}

} // namespace tervalia
