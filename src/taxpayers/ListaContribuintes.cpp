#include "ListaContribuintes.h"
#include "ui_ListaContribuintes.h"

#include "platform/Janela.h"
#include "platform/MessageBox.h"
#include "storage/Cadastro.h"
#include "storage/Database.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLayout>
#include <QScrollBar>

#include <algorithm>

namespace tervalia {

namespace {
struct ColunaGrid
{
    const char* titulo;
    int larguraTwips; // 0: the grid's default
};

const ColunaGrid colunasGrid[ListaContribuintes::ColCount] = {
    {"IE", 1300}, {"RAZÃO SOCIAL", 4400}, {"CNPJ", 1600}, {"CNAE", 1000}, {"Chave", 0},
};

const Qt::Alignment alinhamentoChave = Qt::AlignHCenter | Qt::AlignTop;

int twipsToPixels(const QWidget* w, int twips)
{
    return (twips * w->logicalDpiX() + 720) / 1440;
}

QTableWidgetItem* item(const QString& texto)
{
    return new QTableWidgetItem(texto);
}
} // namespace

ListaContribuintes::ListaContribuintes(const QString& titulo, const QString& instrucao)
    : m_ui(std::make_unique<Ui::ListaContribuintes>())
{
    m_ui->setupUi(this);
    setWindowTitle(titulo);
    m_ui->Label1->setText(instrucao);
    setAttribute(Qt::WA_DeleteOnClose);
    setupGrid();
    janela::fechaComEsc(this);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(m_ui->cmdCancelar, &QPushButton::clicked, this, &QWidget::close);
    connect(m_ui->GridSelContribuinte, &QTableWidget::cellDoubleClicked, m_ui->cmdOK, &QPushButton::click);
    m_ui->GridSelContribuinte->installEventFilter(this);
}

ListaContribuintes::~ListaContribuintes() = default;

void ListaContribuintes::setupGrid()
{
    QTableWidget* grid = m_ui->GridSelContribuinte;
    grid->setAccessibleName(QStringLiteral("Contribuintes"));
    grid->setColumnCount(ColCount);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    for (int c = 0; c < ColCount; ++c) {
        grid->setHorizontalHeaderItem(c, item(QString::fromUtf8(colunasGrid[c].titulo)));
        if (colunasGrid[c].larguraTwips > 0)
            grid->setColumnWidth(c, twipsToPixels(grid, colunasGrid[c].larguraTwips));
    }
    grid->setWordWrap(false);
    grid->horizontalHeader()->setStretchLastSection(true);
}

// IE, CNPJ, CNAE and the key are never cut: each column is at least as wide as its longest value.
// Then the window opens wide enough for every column.
void ListaContribuintes::ajustaColunas()
{
    QTableWidget* grid = m_ui->GridSelContribuinte;
    for (int c : {int(ColIE), int(ColCnpj), int(ColCnae), int(ColChave)}) {
        const int minima = colunasGrid[c].larguraTwips > 0 ? twipsToPixels(grid, colunasGrid[c].larguraTwips) : 0;
        const QAbstractItemView* vista = grid; // the table keeps the hint protected
        const int conteudo = std::max(vista->sizeHintForColumn(c), grid->horizontalHeader()->sectionSizeHint(c));
        grid->setColumnWidth(c, std::max(minima, conteudo));
    }
    const QMargins margens = layout()->contentsMargins();
    int largura =
        margens.left() + margens.right() + grid->frameWidth() * 2 + grid->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < ColCount; ++c)
        largura += grid->columnWidth(c);
    resize(std::max(width(), largura), height());
    janela::ajustaLargura(this);
}

bool ListaContribuintes::Form_Load()
{
    QList<ContribuinteRecord> registros;
    try {
        registros = cadastro::listContribuintes();
    } catch (const DatabaseError& erro) {
        MessageBox::show(this, RelatorioErroBanco(erro));
        return false;
    }
    QTableWidget* grid = m_ui->GridSelContribuinte;
    // Tens of thousands of companies fill in one go, without a repaint per cell.
    grid->setUpdatesEnabled(false);
    grid->setRowCount(int(registros.size()));
    for (int linha = 0; linha < grid->rowCount(); ++linha) {
        const ContribuinteRecord& r = registros[linha];
        grid->setItem(linha, ColIE, item(r.ie));
        grid->setItem(linha, ColRazaoSocial, item(r.razaoSocial));
        grid->setItem(linha, ColCnpj, item(r.cnpj));
        grid->setItem(linha, ColCnae, item(r.cnae));
        if (!r.chave.isEmpty()) {
            QTableWidgetItem* chave = item(r.chave);
            chave->setTextAlignment(alinhamentoChave);
            grid->setItem(linha, ColChave, chave);
        }
    }
    ajustaColunas();
    grid->setUpdatesEnabled(true);
    return true;
}

bool ListaContribuintes::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->GridSelContribuinte && event->type() == QEvent::KeyPress) {
        const int tecla = static_cast<QKeyEvent*>(event)->key();
        if (tecla == Qt::Key_Return || tecla == Qt::Key_Enter) {
            m_ui->cmdOK->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool ListaContribuintes::linhaEscolhida() const
{
    const QString razaoSocial = celula(ColRazaoSocial);
    return !razaoSocial.isEmpty() && razaoSocial != QString::fromUtf8(colunasGrid[ColRazaoSocial].titulo);
}

QString ListaContribuintes::celula(int coluna) const
{
    const QTableWidget* grid = m_ui->GridSelContribuinte;
    const QTableWidgetItem* c = grid->currentRow() >= 0 ? grid->item(grid->currentRow(), coluna) : nullptr;
    return c ? c->text() : QString();
}

} // namespace tervalia
