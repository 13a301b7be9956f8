#include "Principal.h"
#include "ui_Principal.h"

#include "accountant/frmContador.h"
#include "BuildConfig.h"
#include "frmSobre.h"
#include "platform/MessageBox.h"
#include "platform/Session.h"
#include "Resources.h"
#include "storage/Cadastro.h"
#include "storage/Database.h"

#include <QHeaderView>

namespace tervalia {

namespace {
struct ColunaGrid
{
    const char* titulo;
    int larguraTwips;
    Qt::Alignment alinhamento;
};

const ColunaGrid colunasGrid[Principal::ColCount] = {
    {"Referência", 1500, Qt::AlignHCenter | Qt::AlignTop},
    {"Data de Processamento", 2500, Qt::AlignHCenter | Qt::AlignTop},
    {"Protocolo", 1700, Qt::AlignHCenter | Qt::AlignTop},
    {"Status", 0, Qt::AlignLeft | Qt::AlignVCenter},
    {"Valor Adicionado", 0, Qt::AlignRight | Qt::AlignTop},
};

int twipsToPixels(const QWidget* w, int twips)
{
    return (twips * w->logicalDpiX() + 720) / 1440;
}
} // namespace

Principal::Principal(QWidget* parent) : QMainWindow(parent), m_ui(std::make_unique<Ui::Principal>())
{
    ensureResources();
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    m_ui->mnContribuinte->insertSeparator(m_ui->mnContador)->setObjectName(QStringLiteral("space2"));
    setupGridTransmissoes();
    setupHistorico();

    connect(m_ui->mnSair, &QAction::triggered, this, [] { endProgram(); });
    connect(m_ui->mnContribuinteNovo, &QAction::triggered, this, &Principal::novoContribuinte);
    connect(m_ui->mnContador, &QAction::triggered, this, &Principal::abrirContador);
    connect(m_ui->mnSAjuda, &QAction::triggered, this, &Principal::mostrarAjuda);
    connect(m_ui->mnSobre, &QAction::triggered, this, &Principal::mostrarSobre);
}

Principal::~Principal() = default;

void Principal::setInputEnabled(bool enabled)
{
    setEnabled(enabled);
}

void Principal::switchOn()
{
    if (Principal* p = existing())
        p->setInputEnabled(true);
}

Qt::Alignment Principal::alinhamentoColuna(int coluna)
{
    return coluna >= 0 && coluna < ColCount ? colunasGrid[coluna].alinhamento : Qt::AlignLeft | Qt::AlignVCenter;
}

void Principal::setupGridTransmissoes()
{
    QTableWidget* grid = m_ui->GridTransmissoes;
    grid->setColumnCount(ColCount);
    grid->setRowCount(0);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    for (int c = 0; c < ColCount; ++c) {
        auto* header = new QTableWidgetItem(QString::fromUtf8(colunasGrid[c].titulo));
        header->setTextAlignment(colunasGrid[c].alinhamento);
        grid->setHorizontalHeaderItem(c, header);
        const int width = colunasGrid[c].larguraTwips;
        if (width == 0)
            grid->setColumnHidden(c, true); // holds data, never seen
        else
            grid->setColumnWidth(c, twipsToPixels(grid, width));
    }
}

// A taxpayer can only be registered once there is an accountant.
void Principal::novoContribuinte()
{
    setInputEnabled(false);
    try {
        if (cadastro::countContadores() == 0) {
            MessageBox::show(this, QStringLiteral("É necessário cadastrar um contador antes de Cadastrar seu(s) "
                                                  "Contribuinte(s)."));
            abrirContador();
        } else {
            abrirCriaContribuinte();
        }
    } catch (const DatabaseError& error) {
        MessageBox::show(this, RelatorioErroBanco(error));
        // No child window opened that could switch the main window back on.
        setInputEnabled(true);
    }
}

// The accountant window switches the main window on when it loads and when it closes.
void Principal::abrirContador()
{
    try {
        frmContador::abrir();
    } catch (const DatabaseError& error) {
        MessageBox::show(this, RelatorioErroBanco(error));
        // No accountant window opened that could switch the main window back on.
        setInputEnabled(true);
    }
}

void Principal::abrirCriaContribuinte()
{
    // The taxpayer registration window is not there yet: nothing opens.
    setInputEnabled(true);
}

void Principal::mostrarAjuda()
{
    MessageBox::show(this,
                     QStringLiteral("Para maiores infomações acesse: http://") + QString::fromUtf8(build::siteAddress),
                     QStringLiteral("Tervalia - MG"), QMessageBox::Information);
}

void Principal::mostrarSobre()
{
    frmSobre::instance()->show();
    setInputEnabled(false);
}

} // namespace tervalia
