#include "Abertura.h"
#include "ui_Abertura.h"

#include "frmSobre.h"
#include "platform/Janela.h"
#include "platform/Session.h"
#include "Principal.h"
#include "Resources.h"

namespace tervalia {

Abertura::Abertura(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::Abertura>())
{
    ensureResources();
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    connect(m_ui->Command1, &QPushButton::clicked, this, &Abertura::iniciar);
    connect(m_ui->Command2, &QPushButton::clicked, this, &Abertura::sobre);
    connect(m_ui->Command3, &QPushButton::clicked, this, [] { endProgram(); });
    janela::ajustaLargura(this);
}

Abertura::~Abertura() = default;

// The next window is shown before this one closes, so the program never finds itself without a
// window in between and quits.
void Abertura::iniciar()
{
    Principal::instance()->show();
    close();
}

void Abertura::sobre()
{
    frmSobre::instance()->show();
    close();
}

} // namespace tervalia
