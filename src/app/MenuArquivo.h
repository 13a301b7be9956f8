#pragma once

namespace Ui {
class Principal;
}

namespace tervalia {

class JanelaPrincipal;

// The items of the main window's menu "Arquivo" that lead to windows and work of their own: the
// deliveries made here, the register brought from another computer, the backup and its restore.
void ligaMenuArquivo(JanelaPrincipal& principal, const Ui::Principal& menu);

} // namespace tervalia
