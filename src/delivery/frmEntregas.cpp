#include "frmEntregas.h"
#include "ui_frmEntregas.h"

#include "platform/Browser.h"
#include "platform/MessageBox.h"
#include "RespostaEntrega.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QShortcut>
#include <QUrl>

#include <algorithm>

namespace tervalia {

namespace {
const char* const titulos[frmEntregas::ColCount] = {
    "Data", "IE", "Razão Social", "Arquivo", "Resposta do servidor", "Tamanho", "SHA-256",
};
// A column sized to its content stops here; the cell's tooltip has the whole text.
constexpr int larguraMaxima = 420;

QString tamanhoLegivel(qint64 bytes)
{
    return QLocale(QLocale::Portuguese, QLocale::Brazil).formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

QStringList celulas(const Entrega& e, bool recusada)
{
    const QLocale br(QLocale::Portuguese, QLocale::Brazil);
    return {br.toString(e.dataHora.toLocalTime(), QStringLiteral("dd/MM/yyyy HH:mm:ss")),
            e.ie,
            e.razaoSocial,
            e.arquivo,
            (recusada ? QStringLiteral("RECUSADA: ") : QString()) + e.primeiraLinhaResposta,
            tamanhoLegivel(e.tamanho),
            e.sha256.isEmpty() ? QStringLiteral("(sem cópia)") : e.sha256};
}
} // namespace

frmEntregas::frmEntregas(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::frmEntregas>())
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    QTableWidget* grid = m_ui->GridEntregas;
    grid->setColumnCount(ColCount);
    for (int c = 0; c < ColCount; ++c)
        grid->setHorizontalHeaderItem(c, new QTableWidgetItem(QString::fromUtf8(titulos[c])));
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setStretchLastSection(true);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
    connect(m_ui->cmdAbrirPasta, &QPushButton::clicked, this, &frmEntregas::abrirPasta);
    connect(m_ui->cmdFechar, &QPushButton::clicked, this, &QWidget::close);
    connect(grid, &QTableWidget::cellDoubleClicked, this, &frmEntregas::abrirPasta);
    carrega();
}

frmEntregas::~frmEntregas() = default;

frmEntregas* frmEntregas::abrir()
{
    frmEntregas* janela = instance();
    janela->carrega();
    janela->show();
    janela->raise();
    janela->activateWindow();
    return janela;
}

void frmEntregas::carrega()
{
    m_entregas = listaEntregas();
    std::stable_sort(m_entregas.begin(), m_entregas.end(),
                     [](const Entrega& a, const Entrega& b) { return a.dataHora > b.dataHora; });
    QTableWidget* grid = m_ui->GridEntregas;
    grid->setUpdatesEnabled(false);
    grid->setRowCount(int(m_entregas.size()));
    for (int linha = 0; linha < grid->rowCount(); ++linha) {
        const bool recusada = leResposta(m_entregas[linha].primeiraLinhaResposta).recusada;
        const QStringList textos = celulas(m_entregas[linha], recusada);
        for (int c = 0; c < ColCount; ++c) {
            auto* item = new QTableWidgetItem(textos[c]);
            item->setToolTip(textos[c]);
            if (recusada)
                item->setForeground(QColor(0xa0, 0x10, 0x10));
            // A screen reader reads the whole delivery on each cell.
            item->setData(Qt::AccessibleTextRole, QString::fromUtf8(titulos[c]) + QStringLiteral(": ") + textos[c]);
            grid->setItem(linha, c, item);
        }
    }
    grid->resizeColumnsToContents();
    for (int c = 0; c < ColCount; ++c)
        grid->setColumnWidth(c, std::min(grid->columnWidth(c), larguraMaxima));
    grid->setUpdatesEnabled(true);
    const bool vazio = m_entregas.isEmpty();
    m_ui->lblVazio->setVisible(vazio);
    m_ui->GridEntregas->setVisible(!vazio);
    m_ui->cmdAbrirPasta->setEnabled(!vazio);
    if (!vazio)
        grid->selectRow(0);
}

const Entrega* frmEntregas::entregaSelecionada() const
{
    const int linha = m_ui->GridEntregas->currentRow();
    return linha >= 0 && linha < m_entregas.size() ? &m_entregas[linha] : nullptr;
}

void frmEntregas::abrirPasta()
{
    const Entrega* e = entregaSelecionada();
    if (!e) {
        MessageBox::show(this, QStringLiteral("Selecione uma entrega."), QStringLiteral("Tervalia - MG"),
                         QMessageBox::Information);
        return;
    }
    if (!QFileInfo(e->pasta).isDir()) {
        MessageBox::show(this, QStringLiteral("A pasta desta entrega não existe mais:\r\n") + e->pasta,
                         QStringLiteral("Tervalia - MG"), QMessageBox::Warning);
        return;
    }
    if (!Browser::open(QUrl::fromLocalFile(e->pasta).toString()))
        MessageBox::show(this,
                         QStringLiteral("Não foi possível abrir a pasta no gerenciador de arquivos:\r\n") + e->pasta,
                         QStringLiteral("Tervalia - MG"), QMessageBox::Warning);
}

} // namespace tervalia
