#include "MenuArquivo.h"
#include "ui_Principal.h"

#include "delivery/frmEntregas.h"
#include "frmCopiaSeguranca.h"
#include "JanelaPrincipal.h"
#include "taxpayers/frmImportarCadastro.h"

#include <QAction>
#include <QWidget>

namespace tervalia {

void ligaMenuArquivo(JanelaPrincipal& principal, const Ui::Principal& menu)
{
    QWidget* janela = principal.janela();
    QObject::connect(menu.mnEntregas, &QAction::triggered, janela, [] { frmEntregas::abrir(); });
    // The main window waits while the register is brought over: its selection may change under it.
    QObject::connect(menu.mnImportarCadastro, &QAction::triggered, janela, [&principal] {
        principal.setInputEnabled(false);
        if (QWidget* importacao = frmImportarCadastro::abrir(principal.janela()))
            QObject::connect(importacao, &QObject::destroyed, principal.janela(),
                             [&principal] { principal.setInputEnabled(true); });
        else
            principal.setInputEnabled(true);
    });
    QObject::connect(menu.mnCopiaSeguranca, &QAction::triggered, janela,
                     [&principal] { frmCopiaSeguranca::fazerCopia(principal); });
    QObject::connect(menu.mnRestaurarCopia, &QAction::triggered, janela,
                     [&principal] { frmCopiaSeguranca::restaurar(principal); });
}

} // namespace tervalia
