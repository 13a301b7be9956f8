#include "Principal.h"
#include "ui_Principal.h"

#include "accountant/frmContador.h"
#include "BuildConfig.h"
#include "delivery/frmEntregaLote.h"
#include "frmSituacaoEntregas.h"
#include "frmSobre.h"
#include "MenuArquivo.h"
#include "platform/Browser.h"
#include "platform/Janela.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"
#include "platform/Session.h"
#include "Resources.h"
#include "storage/Cadastro.h"
#include "storage/Database.h"
#include "taxpayers/frmtbl_CriaContribuinte.h"
#include "taxpayers/ListasContribuinte.h"

#include <QDir>
#include <QUrl>

namespace tervalia {

Principal::Principal(QWidget* parent) : QMainWindow(parent), m_ui(std::make_unique<Ui::Principal>())
{
    ensureResources();
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    m_ui->mnContribuinte->insertSeparator(m_ui->mnContador)->setObjectName(QStringLiteral("space2"));
    m_veu = new janela::Veu(this);
    connect(historico(), &PainelHistorico::entregaPermitida, m_ui->Command1, &QPushButton::setEnabled);

    connect(m_ui->Command1, &QPushButton::clicked, this, &Principal::entregar);
    connect(m_ui->mnSair, &QAction::triggered, this, [] { endProgram(); });
    connect(m_ui->mnContribuinteNovo, &QAction::triggered, this, &Principal::novoContribuinte);
    connect(m_ui->mnContribuinteSelecionar, &QAction::triggered, this, [this] {
        setInputEnabled(false);
        abreFilha(frmtbl_SelecionaContribuinte::abrir());
    });
    connect(m_ui->mnAtualizar, &QAction::triggered, this, [this] { abreFilha(frmtbl_atualizarContribuinte::abrir()); });
    connect(m_ui->mnExcluir, &QAction::triggered, this, [this] { abreFilha(frmtbl_exclusaoContribuinte::abrir()); });
    connect(m_ui->mnContador, &QAction::triggered, this, &Principal::abrirContador);
    connect(m_ui->mnSAjuda, &QAction::triggered, this, &Principal::mostrarAjuda);
    connect(m_ui->mnSobre, &QAction::triggered, this, &Principal::mostrarSobre);
    connect(m_ui->mnEntregaLote, &QAction::triggered, this, [] { frmEntregaLote::abrir(); });
    connect(m_ui->mnSituacao, &QAction::triggered, this, [] { frmSituacaoEntregas::abrir(); });
    ligaMenuArquivo(*this, *m_ui);
    connect(m_ui->mnAbrirPasta, &QAction::triggered, this, &Principal::abrirPastaPrograma);
    janela::ajustaLargura(this);
    m_resultado = new LinhaResultado(this);
}

Principal::~Principal() = default;

void Principal::setInputEnabled(bool enabled)
{
    setEnabled(enabled);
    m_veu->setGeometry(rect());
    m_veu->setVisible(!enabled);
    m_veu->raise();
}

PainelHistorico* Principal::historico() const
{
    return m_ui->frmImportacao;
}

QString Principal::pathMDB() const
{
    return historico()->pathMDB();
}

void Principal::setPathMDB(const QString& caminho)
{
    historico()->setPathMDB(caminho);
}

void Principal::abreFilha(QWidget* filha)
{
    // A list that could not load has already told why and is gone.
    if (!filha) {
        setInputEnabled(true);
        return;
    }
    mantemAcima(filha);
    connect(filha, &QObject::destroyed, this, [this] { setInputEnabled(true); });
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
            abreFilha(frmtbl_CriaContribuinte::abrir());
        }
    } catch (const DatabaseError& error) {
        MessageBox::show(this, RelatorioErroBanco(error));
        // No child window opened that could switch the main window back on.
        setInputEnabled(true);
    }
}

// The accountant window switches the main window on when it loads, and its closing does too.
void Principal::abrirContador()
{
    try {
        abreFilha(frmContador::abrir());
    } catch (const DatabaseError& error) {
        MessageBox::show(this, RelatorioErroBanco(error));
        // No accountant window opened that could switch the main window back on.
        setInputEnabled(true);
    }
}

void Principal::mostrarAjuda()
{
    MessageBox::show(this,
                     QStringLiteral("Para maiores infomações acesse: http://") + QString::fromUtf8(build::siteAddress),
                     QStringLiteral("Tervalia - MG"), QMessageBox::Information);
}

// The databases, the settings and the copies of the deliveries, in the file manager.
void Principal::abrirPastaPrograma()
{
    if (!Browser::open(QUrl::fromLocalFile(programDir()).toString()))
        MessageBox::show(this,
                         QStringLiteral("Não foi possível abrir a pasta do programa no gerenciador de arquivos:\r\n") +
                             QDir::toNativeSeparators(programDir()),
                         QStringLiteral("Tervalia - MG"), QMessageBox::Warning);
}

void Principal::mostrarSobre()
{
    frmSobre* sobre = frmSobre::instance();
    mantemAcima(sobre);
    sobre->show();
    setInputEnabled(false);
}

} // namespace tervalia
