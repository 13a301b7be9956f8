#pragma once

#include "platform/SingleWindow.h"
#include "taxpayers/FormContribuinte.h"

namespace tervalia {

// Registers a new taxpayer; its key can be typed or asked from the server with a certificate.
class frmtbl_CriaContribuinte : public FormContribuinte, public SingleWindow<frmtbl_CriaContribuinte>
{
    Q_OBJECT

public:
    frmtbl_CriaContribuinte();

    // Shows the one instance, empty when it was not open.
    static frmtbl_CriaContribuinte* abrir();

private:
    void cmdOK_Click() override;
    void Command2_Click();
};

} // namespace tervalia
