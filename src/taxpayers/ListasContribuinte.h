#pragma once

#include "platform/SingleWindow.h"
#include "taxpayers/ListaContribuintes.h"

namespace tervalia {

// The three list windows. abrir() shows the one instance, loaded from the register, and returns
// nullptr when the register could not be read (the failure has been shown, no window is left).

// Makes the picked row the main window's current taxpayer and refreshes its history.
class frmtbl_SelecionaContribuinte : public ListaContribuintes, public SingleWindow<frmtbl_SelecionaContribuinte>
{
    Q_OBJECT

public:
    frmtbl_SelecionaContribuinte();
    static frmtbl_SelecionaContribuinte* abrir();

private:
    void cmdOK_Click() override;
};

// Opens the update window filled with the picked row.
class frmtbl_atualizarContribuinte : public ListaContribuintes, public SingleWindow<frmtbl_atualizarContribuinte>
{
    Q_OBJECT

public:
    frmtbl_atualizarContribuinte();
    static frmtbl_atualizarContribuinte* abrir();

private:
    void cmdOK_Click() override;
};

// Deletes the picked row after a confirmation.
class frmtbl_exclusaoContribuinte : public ListaContribuintes, public SingleWindow<frmtbl_exclusaoContribuinte>
{
    Q_OBJECT

public:
    frmtbl_exclusaoContribuinte();
    static frmtbl_exclusaoContribuinte* abrir();

private:
    void cmdOK_Click() override;
};

} // namespace tervalia
