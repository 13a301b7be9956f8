// The runs of the delivery for many companies: the accountant and the certificate once, one upload
// per company, the summary as the answers come, the histories refreshed at the end.
#include "frmEntregaLote.h"
#include "ui_frmEntregaLote.h"

#include "app/JanelaPrincipal.h"
#include "ListaLote.h"
#include "platform/MessageBox.h"
#include "storage/Database.h"
#include "storage/Entregas.h"
#include "taxpayers/DadosContador.h"
#include "taxpayers/SelecionarCertificado.h"

#include <QPointer>

namespace tervalia {

namespace {
const QString tituloMG = QStringLiteral("Tervalia - MG");
using lista_lote::escreveResumo;
} // namespace

void frmEntregaLote::ligaEnvio()
{
    connect(m_ui->cmdEnviar, &QPushButton::clicked, this, &frmEntregaLote::Enviar_Click);
    connect(m_ui->cmdReenviar, &QPushButton::clicked, this, &frmEntregaLote::Reenviar_Click);
    connect(m_ui->GridEmpresas, &QTreeWidget::itemChanged, this,
            [this] { setControlesAtivos(!enviando() && !m_convertendo); });
    connect(m_envio, &EnvioLote::enviando, this, [this](int i, int total, const QString& razao) {
        escreveResumo(m_ui->GridResumo, lista_lote::linhaResumo(m_ui->GridResumo, m_itensDaVez[i]),
                      lista_lote::ResResposta, QStringLiteral("Enviando…"));
        m_ui->lblEnvio->setText(QStringLiteral("Enviando %1 de %2: %3").arg(i + 1).arg(total).arg(razao));
        m_ui->ProgressBar1->setValue(0);
    });
    connect(m_envio, &EnvioLote::progresso, m_ui->ProgressBar1,
            [this](const QString&, int valor) { m_ui->ProgressBar1->setValue(valor); });
    connect(m_envio, &EnvioLote::respondida, this,
            [this](int i, const RespostaUpload& resposta, const QString& erroCopia) {
                const EnvioLote::Item& item = m_itensDaVez[i];
                m_respondidas.insert(item.ie);
                escreveResumo(m_ui->GridResumo, lista_lote::linhaResumo(m_ui->GridResumo, item),
                              lista_lote::ResResposta, primeiraLinhaResposta(resposta.texto.toUtf8()));
                if (!erroCopia.isEmpty())
                    m_errosCopia << item.razaoSocial + QStringLiteral(": ") + erroCopia;
            });
    connect(m_envio, &EnvioLote::falhou, this, [this](int i, const QString& descricao) {
        const EnvioLote::Item& item = m_itensDaVez[i];
        m_falharam.append(item);
        escreveResumo(m_ui->GridResumo, lista_lote::linhaResumo(m_ui->GridResumo, item), lista_lote::ResResposta,
                      QStringLiteral("Falha de comunicação: ") + descricao);
    });
    connect(m_envio, &EnvioLote::terminou, this, &frmEntregaLote::terminou);
}

void frmEntregaLote::Enviar_Click()
{
    const QList<EnvioLote::Item> itens =
        lista_lote::pendentes(lista_lote::marcadas(m_ui->GridEmpresas, m_lote.empresas), m_respondidas);
    if (itens.isEmpty())
        MessageBox::show(this, QStringLiteral("Marque os documentos a enviar."), tituloMG);
    else
        inicia(itens);
}

void frmEntregaLote::Reenviar_Click()
{
    if (const QList<EnvioLote::Item> itens = lista_lote::pendentes(m_falharam, m_respondidas); !itens.isEmpty())
        inicia(itens);
}

// The accountant as the delivery button checks it, then the certificate once for the whole run.
void frmEntregaLote::inicia(const QList<EnvioLote::Item>& itens)
{
    if (m_envio->emAndamento() || m_convertendo || m_copia.isEmpty())
        return;
    std::optional<ContadorRecord> contador;
    try {
        contador = cadastro::readContador();
    } catch (const DatabaseError& erro) {
        MessageBox::show(this, RelatorioErroBanco(erro));
        return;
    }
    if (!contador) {
        MessageBox::show(this, QStringLiteral("É necessário informar os dados do contador para envio da declaração"),
                         tituloMG);
        return;
    }
    const QPointer<frmEntregaLote> viva(this);
    const ResultadoCertificado certificado = SelecionarCertificado(
        this, PedidoCertificado{
                  FormaCertificado::Entrega, {}, cpfCnpjContador(*contador), m_dataServidor, m_certificadoValido});
    if (!viva)
        return;
    m_certificadoValido = certificado.certificadoValido;
    if (!m_certificadoValido)
        return;
    m_itensDaVez = itens;
    m_falharam.clear();
    m_errosCopia.clear();
    for (const EnvioLote::Item& item : itens) {
        const int linha = lista_lote::linhaResumo(m_ui->GridResumo, item);
        escreveResumo(m_ui->GridResumo, linha, lista_lote::ResGias, item.gias);
        escreveResumo(m_ui->GridResumo, linha, lista_lote::ResResposta, QStringLiteral("Aguardando envio"));
    }
    setControlesAtivos(false);
    lista_lote::travaMarcacao(m_ui->GridEmpresas, true, m_lote.empresas, m_respondidas);
    m_envio->inicia(itens, contador->cpfCnpj, m_copia, m_nomeArquivo);
}

void frmEntregaLote::terminou()
{
    QStringList respondidasDaVez;
    for (const EnvioLote::Item& item : std::as_const(m_itensDaVez)) {
        if (m_respondidas.contains(item.ie))
            respondidasDaVez << item.ie;
    }
    for (const EnvioLote::Item& item : m_envio->naoEnviados())
        escreveResumo(m_ui->GridResumo, lista_lote::linhaResumo(m_ui->GridResumo, item), lista_lote::ResResposta,
                      QStringLiteral("Não enviada: o envio foi interrompido"));
    lista_lote::travaMarcacao(m_ui->GridEmpresas, false, m_lote.empresas, m_respondidas);
    setControlesAtivos(true);
    m_ui->lblEnvio->setText(QStringLiteral("Envio concluído: %1 empresa(s) respondida(s) pelo servidor, %2 com falha "
                                           "de comunicação.")
                                .arg(respondidasDaVez.size())
                                .arg(m_falharam.size()));
    if (!m_errosCopia.isEmpty())
        MessageBox::show(this,
                         QStringLiteral("As entregas foram enviadas, mas a cópia destas não pôde ser guardada nesta "
                                        "máquina:\r\n") +
                             m_errosCopia.join(QStringLiteral("\r\n")),
                         tituloMG, QMessageBox::Warning);
    JanelaPrincipal::entregasFeitas(respondidasDaVez);
    if (!m_fecharAoTerminar)
        return;
    QStringList naoEnviadas;
    for (const EnvioLote::Item& item : m_envio->naoEnviados())
        naoEnviadas << item.ie + QStringLiteral(" - ") + item.razaoSocial;
    if (!naoEnviadas.isEmpty())
        MessageBox::show(this,
                         QStringLiteral("O envio foi interrompido ao fechar a janela. Não foram enviadas:\r\n") +
                             naoEnviadas.join(QStringLiteral("\r\n")),
                         tituloMG, QMessageBox::Information);
    close();
}

} // namespace tervalia
