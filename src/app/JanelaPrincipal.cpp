// What other windows reach of the main window without knowing its class.
#include "JanelaPrincipal.h"

#include "platform/Janela.h"
#include "Principal.h"

namespace tervalia {

JanelaPrincipal* JanelaPrincipal::aberta()
{
    return Principal::existing();
}

void JanelaPrincipal::switchOn()
{
    if (JanelaPrincipal* p = aberta())
        p->setInputEnabled(true);
}

void JanelaPrincipal::mantemAcima(QWidget* filha)
{
    if (Principal* principal = Principal::existing(); principal && filha && filha != principal)
        janela::mantemAcimaDe(filha, principal);
}

} // namespace tervalia
