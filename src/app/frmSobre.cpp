#include "frmSobre.h"
#include "ui_frmSobre.h"

#include "BuildConfig.h"
#include "platform/Janela.h"
#include "platform/ProgramDir.h"
#include "platform/Session.h"
#include "Principal.h"
#include "Resources.h"

#include <QCloseEvent>
#include <QDir>

namespace tervalia {

frmSobre::frmSobre(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::frmSobre>())
{
    ensureResources();
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    m_ui->Label2->setText(contactLine());
    m_ui->lblPastaPrograma->setText(QStringLiteral("Pasta do programa: ") + QDir::toNativeSeparators(programDir()));
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &QWidget::close);
    janela::fechaComEsc(this);
    janela::ajustaLargura(this);
}

frmSobre::~frmSobre() = default;

QString frmSobre::contactLine()
{
    return QStringLiteral("Telefone: %1 - E-mail: %2")
        .arg(QString::fromUtf8(build::phone), QString::fromUtf8(build::email));
}

// Shown before this window goes away, so that the main window appears when the About box was
// opened from the opening window, and comes back on when it was opened from the menu.
void frmSobre::closeEvent(QCloseEvent* event)
{
    if (!programEnding()) {
        Principal* principal = Principal::instance();
        principal->setInputEnabled(true);
        principal->show();
    }
    QWidget::closeEvent(event);
}

} // namespace tervalia
