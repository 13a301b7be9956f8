#include "frmUpload.h"
#include "ui_frmUpload.h"

#include "app/JanelaPrincipal.h"

#include <QCloseEvent>

namespace tervalia {

frmUpload::frmUpload(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::frmUpload>())
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
}

frmUpload::~frmUpload() = default;

frmUpload* frmUpload::abrir()
{
    frmUpload* janela = instance();
    janela->show();
    janela->raise();
    janela->activateWindow();
    return janela;
}

void frmUpload::closeEvent(QCloseEvent* evento)
{
    JanelaPrincipal::switchOn();
    evento->accept();
}

} // namespace tervalia
