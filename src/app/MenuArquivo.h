#pragma once

class QAction;

namespace tervalia {

class JanelaPrincipal;

// The items of the main window's menu "Arquivo" that lead to windows and work of their own.
struct MenuArquivo
{
    QAction* entregas = nullptr;
    QAction* copiaSeguranca = nullptr;
    QAction* restaurarCopia = nullptr;
};

void ligaMenuArquivo(JanelaPrincipal& principal, const MenuArquivo& menu);

} // namespace tervalia
