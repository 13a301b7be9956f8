// What other windows reach of the main window without knowing its class.
#include "JanelaPrincipal.h"

#include "frmSituacaoEntregas.h"
#include "platform/Janela.h"
#include "platform/MessageBox.h"
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

bool JanelaPrincipal::selecionaEAtualiza(const QString& ie, const QString& razaoSocial, const QString& chave,
                                         const std::function<void()>& antesDaAtualizacao)
{
    JanelaPrincipal* p = aberta();
    if (!p)
        return false;
    p->selecionaContribuinte(ie, razaoSocial, chave);
    if (antesDaAtualizacao)
        antesDaAtualizacao();
    // The company is registered: a failure here is the server's, and says so.
    const ResultadoAtualizacao r = p->RecebeDadosServer();
    if (!r.ok() && r.falha != ResultadoAtualizacao::RespostaIlegivel)
        MessageBox::show(p->janela(), r.descricao, QStringLiteral("Tervalia - MG"), QMessageBox::Information);
    return true;
}

void JanelaPrincipal::entregasFeitas(const QStringList& ies)
{
    if (ies.isEmpty())
        return;
    JanelaPrincipal* p = aberta();
    if (p && ies.contains(p->ieSelecionada())) {
        const ResultadoAtualizacao r = p->RecebeDadosServer();
        // An unreadable answer has already been told by the refresh itself.
        if (!r.ok() && r.falha != ResultadoAtualizacao::RespostaIlegivel)
            MessageBox::show(p->janela(),
                             QStringLiteral("As entregas foram enviadas, mas o histórico de transmissões não pôde ser "
                                            "atualizado: ") +
                                 r.descricao,
                             QStringLiteral("Tervalia - MG"), QMessageBox::Warning);
    }
    frmSituacaoEntregas::reconsulta(ies);
}

} // namespace tervalia
