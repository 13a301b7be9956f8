#pragma once

#include "platform/SingleWindow.h"
#include "taxpayers/FormContribuinte.h"

namespace tervalia {

// Updates a registered taxpayer's razão social, CNAE and municipal registration, and its key and
// Simples Nacional flag when a key request brings them anew from the server (a company that
// changed regime). The IE and CNPJ are shown, and checked, but not changed here.
class frmtbl_CadastroContribuinte : public FormContribuinte, public SingleWindow<frmtbl_CadastroContribuinte>
{
    Q_OBJECT

public:
    frmtbl_CadastroContribuinte();

    // Shows the one instance filled with the row.
    static frmtbl_CadastroContribuinte* abrir(const ContribuinteRecord& registro);

private:
    void cmdOK_Click() override;
};

} // namespace tervalia
