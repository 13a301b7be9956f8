#include "frmSituacaoEntregas.h"
#include "ui_frmSituacaoEntregas.h"

#include "JanelaPrincipal.h"
#include "ModeloSituacao.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "storage/Database.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QHeaderView>
#include <QSaveFile>

#include <functional>
#include <memory>

namespace tervalia {

namespace {
const QString tituloMG = QStringLiteral("Tervalia - MG");

// The registered companies that can be asked about (those with a key), in the register's order.
QList<ConsultaHistoricos::Empresa> consultaveis(const QList<ContribuinteRecord>& empresas,
                                                const std::function<situacao::Consulta(const QString&)>& anterior,
                                                const QStringList& somente = {})
{
    QList<ConsultaHistoricos::Empresa> lista;
    for (const ContribuinteRecord& e : empresas) {
        if (!e.chave.trimmed().isEmpty() && (somente.isEmpty() || somente.contains(e.ie)))
            lista.append({e.ie, e.razaoSocial, e.chave, anterior(e.ie)});
    }
    return lista;
}

// Columns to their texts; the situation keeps taking the room left (a whole resize would undo that).
void ajustaColunas(QTableView* grade)
{
    for (int c = 0; c < ModeloSituacao::ColCount; ++c) {
        if (c != ModeloSituacao::ColSituacao)
            grade->resizeColumnToContents(c);
    }
}

void avisaFalhaGravacao(QWidget* janela, const QString& erro)
{
    if (!erro.isEmpty())
        MessageBox::show(janela, erro, tituloMG, QMessageBox::Warning);
}
} // namespace

frmSituacaoEntregas::frmSituacaoEntregas(QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::frmSituacaoEntregas>()), m_modelo(new ModeloSituacao(this)),
      m_consulta(new ConsultaHistoricos(this))
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    QTableView* grade = m_ui->GridSituacao;
    grade->setModel(m_modelo->visao());
    grade->sortByColumn(ModeloSituacao::ColRazaoSocial, Qt::AscendingOrder);
    grade->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    // The situation carries the longest texts (a failure's reason): it takes the room left.
    grade->horizontalHeader()->setStretchLastSection(false);
    grade->horizontalHeader()->setSectionResizeMode(ModeloSituacao::ColSituacao, QHeaderView::Stretch);
    grade->verticalHeader()->setDefaultSectionSize(grade->fontMetrics().height() + 8);

    connect(m_ui->cmdAtualizar, &QPushButton::clicked, this, &frmSituacaoEntregas::Atualizar_Click);
    connect(m_ui->cmdCancelar, &QPushButton::clicked, this, [this] {
        m_consulta->cancela();
        m_ui->cmdCancelar->setEnabled(false);
        m_ui->lblConsultando->setText(QStringLiteral("Cancelando: aguardando o fim das consultas em andamento…"));
    });
    connect(m_ui->chkSemEntrega, &QCheckBox::toggled, m_modelo, &ModeloSituacao::setSomenteSemEntrega);
    connect(grade, &QTableView::doubleClicked, this, &frmSituacaoEntregas::selecionaNaPrincipal);
    connect(m_ui->cmdExportar, &QPushButton::clicked, this, &frmSituacaoEntregas::exportar);
    connect(m_ui->cmdFechar, &QPushButton::clicked, this, &QWidget::close);
    connect(m_consulta, &ConsultaHistoricos::consultando, this, [this](int numero, int total, const QString& razao) {
        m_ui->lblConsultando->setText(QStringLiteral("Consultando %1 de %2: %3").arg(numero).arg(total).arg(razao));
    });
    connect(m_consulta, &ConsultaHistoricos::consultada, this, &frmSituacaoEntregas::consultada);
    connect(m_consulta, &ConsultaHistoricos::terminou, this, &frmSituacaoEntregas::terminou);
    carrega();
}

frmSituacaoEntregas::~frmSituacaoEntregas() = default;

frmSituacaoEntregas* frmSituacaoEntregas::abrir()
{
    frmSituacaoEntregas* janela = instance();
    janela->show();
    janela->raise();
    janela->activateWindow();
    return janela;
}

void frmSituacaoEntregas::carrega()
{
    QList<ContribuinteRecord> empresas;
    try {
        empresas = cadastro::listContribuintes();
    } catch (const DatabaseError& erro) {
        MessageBox::show(this, RelatorioErroBanco(erro));
    }
    m_erroRegistro.clear();
    const situacao::Registro registro = situacao::carregaRegistro(&m_erroRegistro);
    m_atualizadoEm = registro.atualizadoEm;
    m_modelo->preenche(empresas, registro.empresas);
    ajustaColunas(m_ui->GridSituacao);
    mostraUltimaAtualizacao();
}

void frmSituacaoEntregas::mostraUltimaAtualizacao()
{
    QString texto =
        m_atualizadoEm.isValid()
            ? QStringLiteral("Última atualização: %1.").arg(m_atualizadoEm.toString(QStringLiteral("dd/MM/yyyy HH:mm")))
            : QStringLiteral("Nenhuma atualização feita ainda: \"Atualizar\" consulta o servidor.");
    // The working year of the latest answer.
    situacao::Consulta recente;
    for (const ContribuinteRecord& e : m_modelo->empresas()) {
        const situacao::Consulta c = m_modelo->consulta(e.ie);
        if (c.consultada() && !c.chaveRecusada && (!recente.em.isValid() || c.em > recente.em))
            recente = c;
    }
    if (!recente.anoTrabalho.trimmed().isEmpty())
        texto += QStringLiteral(" Ano de trabalho: %1.").arg(recente.anoTrabalho.trimmed());
    if (!m_erroRegistro.isEmpty())
        texto = m_erroRegistro + QStringLiteral("\n") + texto;
    m_ui->lblUltimaAtualizacao->setText(texto);
}

void frmSituacaoEntregas::Atualizar_Click()
{
    inicia(consultaveis(m_modelo->empresas(), [this](const QString& ie) { return m_modelo->consulta(ie); }), true);
}

void frmSituacaoEntregas::inicia(const QList<ConsultaHistoricos::Empresa>& empresas, bool todas)
{
    if (m_consulta->emAndamento())
        return;
    m_novas.clear();
    m_todas = todas;
    m_falhas = 0;
    m_ui->Progresso->setRange(0, std::max<int>(1, int(empresas.size())));
    m_ui->Progresso->setValue(0);
    m_ui->Progresso->show();
    m_ui->cmdAtualizar->setEnabled(false);
    m_ui->cmdCancelar->setEnabled(true);
    m_ui->lblConsultando->setText(empresas.isEmpty() ? QStringLiteral("Nenhuma empresa com chave para consultar.")
                                                     : QString());
    m_consulta->inicia(empresas);
}

void frmSituacaoEntregas::consultada(const QString& ie, const situacao::Consulta& consulta)
{
    m_novas.insert(ie, consulta);
    if (!consulta.falha.isEmpty())
        ++m_falhas;
    m_modelo->atualiza(ie, consulta);
    m_ui->Progresso->setValue(m_consulta->respondidas());
}

void frmSituacaoEntregas::terminou()
{
    const int respondidas = m_consulta->respondidas();
    const int total = m_consulta->total();
    if (m_todas && !m_consulta->cancelada())
        m_atualizadoEm = QDateTime::currentDateTime();
    grava();
    m_ui->Progresso->hide();
    m_ui->cmdAtualizar->setEnabled(true);
    m_ui->cmdCancelar->setEnabled(false);
    QString resumo =
        m_consulta->cancelada()
            ? QStringLiteral("Atualização cancelada: %1 de %2 empresas consultadas").arg(respondidas).arg(total)
            : QStringLiteral("Atualização concluída: %1 empresas consultadas").arg(respondidas);
    if (m_falhas > 0)
        resumo += QStringLiteral(", %1 com falha de comunicação").arg(m_falhas);
    m_ui->lblConsultando->setText(resumo + u'.');
    ajustaColunas(m_ui->GridSituacao);
    mostraUltimaAtualizacao();
}

void frmSituacaoEntregas::grava()
{
    const QDateTime data = m_todas && !m_consulta->cancelada() ? m_atualizadoEm : QDateTime();
    if (m_novas.isEmpty() && !data.isValid())
        return;
    const QString erro = situacao::gravaConsultas(m_novas, data);
    m_novas.clear();
    avisaFalhaGravacao(this, erro);
}

// Closing stops the calls under way; what was already answered is kept.
void frmSituacaoEntregas::closeEvent(QCloseEvent* evento)
{
    if (m_consulta->emAndamento()) {
        m_consulta->cancela();
        grava();
    }
    evento->accept();
}

void frmSituacaoEntregas::selecionaNaPrincipal(const QModelIndex& indice)
{
    const ContribuinteRecord* empresa = m_modelo->empresaVista(indice);
    if (!empresa)
        return;
    const ContribuinteRecord escolhida = *empresa; // the grid may change during the refresh
    if (!JanelaPrincipal::selecionaEAtualiza(escolhida.ie, escolhida.razaoSocial, escolhida.chave)) {
        MessageBox::show(this, QStringLiteral("A janela principal não está aberta."), tituloMG,
                         QMessageBox::Information);
        return;
    }
    if (JanelaPrincipal* principal = JanelaPrincipal::aberta()) {
        principal->janela()->raise();
        principal->janela()->activateWindow();
    }
}

void frmSituacaoEntregas::exportar()
{
    const QString caminho = FileDialog::getSaveFileName(this, QStringLiteral("Exportar planilha"),
                                                        QDir::home().filePath(QStringLiteral("situacao-entregas.csv")),
                                                        QStringLiteral("Planilha CSV (*.csv)"), QStringLiteral("csv"));
    if (caminho.isEmpty())
        return;
    const QByteArray conteudo = m_modelo->csv();
    QSaveFile arquivo(caminho);
    if (!arquivo.open(QIODevice::WriteOnly) || arquivo.write(conteudo) != conteudo.size() || !arquivo.commit()) {
        MessageBox::show(this,
                         QStringLiteral("A planilha não pôde ser gravada em %1: %2")
                             .arg(QDir::toNativeSeparators(caminho), arquivo.errorString()),
                         tituloMG, QMessageBox::Warning);
        return;
    }
    m_ui->lblConsultando->setText(QStringLiteral("Planilha gravada em %1.").arg(QDir::toNativeSeparators(caminho)));
}

void frmSituacaoEntregas::reconsulta(const QStringList& ies)
{
    frmSituacaoEntregas* janela = existing();
    if (janela && !janela->consultando()) {
        janela->inicia(consultaveis(
                           janela->m_modelo->empresas(),
                           [janela](const QString& ie) { return janela->m_modelo->consulta(ie); }, ies),
                       false);
        return;
    }
    QList<ContribuinteRecord> empresas;
    try {
        empresas = cadastro::listContribuintes();
    } catch (const DatabaseError&) {
        return; // the window that delivered has read the register just now; nothing to refresh
    }
    const QHash<QString, situacao::Consulta> anteriores = situacao::carregaRegistro().empresas;
    auto* consulta = new ConsultaHistoricos(qApp);
    auto novas = std::make_shared<QHash<QString, situacao::Consulta>>();
    connect(consulta, &ConsultaHistoricos::consultada, consulta,
            [novas](const QString& ie, const situacao::Consulta& c) { novas->insert(ie, c); });
    connect(consulta, &ConsultaHistoricos::terminou, consulta, [consulta, novas] {
        const QString erro = situacao::gravaConsultas(*novas);
        JanelaPrincipal* principal = JanelaPrincipal::aberta();
        avisaFalhaGravacao(principal ? principal->janela() : nullptr, erro);
        if (frmSituacaoEntregas* aberta = existing(); aberta && !aberta->consultando())
            aberta->carrega();
        consulta->deleteLater();
    });
    consulta->inicia(consultaveis(
        empresas, [&anteriores](const QString& ie) { return anteriores.value(ie); }, ies));
}

} // namespace tervalia
