#include "frmCopiaSeguranca.h"
#include "ui_frmCopiaSeguranca.h"

#include "JanelaPrincipal.h"
#include "platform/BlockingWait.h"
#include "platform/FileDialog.h"
#include "platform/Janela.h"
#include "platform/MessageBox.h"

#include <QDir>
#include <QLocale>
#include <QPointer>
#include <QStandardPaths>

namespace tervalia {

namespace {
const QString titulo = QStringLiteral("Tervalia - MG");
const QString filtro = QStringLiteral("Cópia de segurança (*.zip);;Todos os arquivos (*)");
const QLocale br(QLocale::Portuguese, QLocale::Brazil);

QString pastaInicial()
{
    const QString documentos = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(documentos).exists() ? documentos : QDir::homePath();
}

QString tamanho(qint64 bytes)
{
    return br.formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

QString nativo(const QString& caminho)
{
    return QDir::toNativeSeparators(caminho);
}

QString descricao(const Manifesto& m)
{
    return QStringLiteral("Feita em: %1\r\nVersão do programa: %2\r\nEmpresas: %3\r\nEntregas: %4")
        .arg(br.toString(m.data.toLocalTime(), QStringLiteral("dd/MM/yyyy HH:mm")), m.versao)
        .arg(m.empresas)
        .arg(m.entregas);
}

QString pergunta(const QString& arquivo, const Manifesto& m)
{
    return QStringLiteral("Restaurar a cópia de segurança \"%1\"?\r\n\r\n%2\r\n\r\nO banco de dados e as configurações "
                          "deste computador serão substituídos pelos da cópia e guardados na pasta do programa com "
                          "o final \".antes-da-restauracao\". As entregas da cópia que não estão neste computador "
                          "serão acrescentadas; nenhuma entrega será apagada.")
        .arg(nativo(arquivo), descricao(m));
}

QString relatorio(const ResultadoRestauracao& r)
{
    QString texto = QStringLiteral("Cópia de segurança restaurada.\r\n\r\n%1\r\n\r\nEntregas acrescentadas: %2; já "
                                   "existentes neste computador, mantidas: %3.")
                        .arg(descricao(r.manifesto))
                        .arg(r.entregasNovas)
                        .arg(r.entregasMantidas);
    if (!r.guardados.isEmpty())
        texto += QStringLiteral("\r\nOs arquivos substituídos foram guardados como: ") +
                 r.guardados.join(QStringLiteral(", ")) + QLatin1Char('.');
    if (!r.erro.isEmpty())
        texto += QStringLiteral("\r\n\r\nAtenção: ") + r.erro;
    return texto;
}
} // namespace

frmCopiaSeguranca::frmCopiaSeguranca(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_ui(std::make_unique<Ui::frmCopiaSeguranca>())
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    connect(m_ui->cmdCancelar, &QPushButton::clicked, this, [this] {
        m_cancelado = true;
        m_ui->cmdCancelar->setEnabled(false);
        m_ui->lblArquivo->setText(QStringLiteral("Cancelando…"));
    });
}

frmCopiaSeguranca::~frmCopiaSeguranca() = default;

// The window is drawn again and the user heard at most every 40 ms, whatever the pace of the copy.
bool frmCopiaSeguranca::progride(const Progresso& p)
{
    if (m_relogio.isValid() && m_relogio.elapsed() < 40)
        return !m_cancelado;
    m_relogio.start();
    m_ui->barraProgresso->setValue(p.total > 0 ? int(std::min<qint64>(p.feito * 1000 / p.total, 1000)) : 0);
    m_ui->cmdCancelar->setEnabled(p.cancelavel && !m_cancelado);
    if (!m_cancelado) {
        const QString texto =
            p.total > 0 ? QStringLiteral("%1 de %2: %3").arg(tamanho(p.feito), tamanho(p.total), p.item) : p.item;
        m_ui->lblArquivo->setText(
            m_ui->lblArquivo->fontMetrics().elidedText(texto, Qt::ElideMiddle, m_ui->lblArquivo->width()));
    }
    QCoreApplication::processEvents();
    return !m_cancelado;
}

void frmCopiaSeguranca::emAndamento(JanelaPrincipal& principal, const QString& tituloJanela, const QString& acao,
                                    const std::function<void(const AoProgredir&)>& trabalho)
{
    principal.setInputEnabled(false);
    // The window of the previous copy, closed but not yet deleted, would go in the middle of this one.
    if (frmCopiaSeguranca* anterior = existing(); anterior && !anterior->isVisible())
        delete anterior;
    const QPointer<frmCopiaSeguranca> visor = instance();
    visor->setWindowTitle(tituloJanela);
    visor->m_ui->lblAcao->setText(acao);
    janela::ajustaLargura(visor);
    JanelaPrincipal::mantemAcima(visor);
    visor->show();
    visor->raise();
    {
        // Closes asked for meanwhile (the main window's too) wait for the end of the copy.
        BlockingWait espera;
        trabalho([visor](const Progresso& p) { return visor && visor->progride(p); });
    }
    if (visor)
        visor->close();
    principal.setInputEnabled(true);
}

void frmCopiaSeguranca::fazerCopia(JanelaPrincipal& principal)
{
    QWidget* pai = principal.janela();
    const QString destino = FileDialog::getSaveFileName(
        pai, QStringLiteral("Cópia de segurança"), QDir(pastaInicial()).filePath(nomePadraoCopia(QDate::currentDate())),
        filtro, QStringLiteral("zip"));
    if (destino.isEmpty())
        return;
    ResultadoCopia r;
    emAndamento(principal, QStringLiteral("Cópia de segurança"),
                QStringLiteral("Gravando a cópia de segurança em \"%1\"…").arg(nativo(destino)),
                [&](const AoProgredir& progresso) { r = criaCopiaSeguranca(destino, progresso); });
    if (r.desfecho == Desfecho::Concluida)
        MessageBox::show(pai,
                         QStringLiteral("Cópia de segurança gravada em \"%1\".\r\n\r\n%2")
                             .arg(nativo(destino), descricao(r.manifesto)),
                         titulo, QMessageBox::Information);
    else if (r.desfecho == Desfecho::Falhou)
        MessageBox::show(pai, r.erro, titulo, QMessageBox::Critical);
}

void frmCopiaSeguranca::restaurar(JanelaPrincipal& principal)
{
    QWidget* pai = principal.janela();
    const QString arquivo =
        FileDialog::getOpenFileName(pai, QStringLiteral("Restaurar cópia de segurança"), pastaInicial(), filtro);
    if (arquivo.isEmpty())
        return;
    const LeituraManifesto leitura = leManifesto(arquivo);
    if (!leitura.ok) {
        MessageBox::show(pai, QStringLiteral("A cópia de segurança não pode ser restaurada.\r\n") + leitura.erro,
                         titulo, QMessageBox::Warning);
        return;
    }
    if (MessageBox::show(pai, pergunta(arquivo, leitura.manifesto), titulo, QMessageBox::Question,
                         QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;
    ResultadoRestauracao r;
    emAndamento(principal, QStringLiteral("Restaurar cópia de segurança"),
                QStringLiteral("Restaurando a cópia de segurança \"%1\"…").arg(nativo(arquivo)),
                [&](const AoProgredir& progresso) { r = restauraCopiaSeguranca(arquivo, progresso); });
    if (r.desfecho == Desfecho::Concluida) {
        principal.retiraSelecao(); // the selected company may not exist in the restored database
        MessageBox::show(pai, relatorio(r), titulo, QMessageBox::Information);
    } else if (r.desfecho == Desfecho::Falhou) {
        MessageBox::show(pai, QStringLiteral("A cópia de segurança não foi restaurada.\r\n") + r.erro, titulo,
                         QMessageBox::Critical);
    }
}

} // namespace tervalia
