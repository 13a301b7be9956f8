#include "MenuArquivo.h"

#include "delivery/frmEntregas.h"
#include "frmCopiaSeguranca.h"
#include "JanelaPrincipal.h"

#include <QAction>
#include <QWidget>

namespace tervalia {

void ligaMenuArquivo(JanelaPrincipal& principal, const MenuArquivo& menu)
{
    QWidget* janela = principal.janela();
    QObject::connect(menu.entregas, &QAction::triggered, janela, [] { frmEntregas::abrir(); });
    QObject::connect(menu.copiaSeguranca, &QAction::triggered, janela,
                     [&principal] { frmCopiaSeguranca::fazerCopia(principal); });
    QObject::connect(menu.restaurarCopia, &QAction::triggered, janela,
                     [&principal] { frmCopiaSeguranca::restaurar(principal); });
}

} // namespace tervalia
