#include "ListasContribuinte.h"

#include "app/JanelaPrincipal.h"
#include "platform/MessageBox.h"
#include "storage/Cadastro.h"
#include "storage/Database.h"
#include "taxpayers/frmtbl_CadastroContribuinte.h"
#include "taxpayers/VerificaContribuinte.h"

#include <QApplication>

namespace tervalia {

namespace {
const QString tituloMG = QStringLiteral("Tervalia - MG");

QString necessarioCadastrar()
{
    return QStringLiteral("É necessário cadastrar empresa");
}

QString necessarioSelecionar()
{
    return QStringLiteral("É necessário selecionar a empresa");
}

// The window is shown only once it has read the register.
template <class W> W* abreCarregada()
{
    const bool nova = !W::existing();
    W* janela = W::instance();
    if (nova && !janela->carrega()) {
        delete janela;
        return nullptr;
    }
    JanelaPrincipal::mantemAcima(janela);
    janela->show();
    janela->raise();
    janela->activateWindow();
    return janela;
}
} // namespace

frmtbl_SelecionaContribuinte::frmtbl_SelecionaContribuinte()
    : ListaContribuintes(QStringLiteral("Seleção de Contribuinte - Prefeitura Municipal de Ostare"),
                         QStringLiteral("Selecione o Contribuinte que deseja abrir:"))
{
    setObjectName(QStringLiteral("frmtbl_SelecionaContribuinte"));
}

frmtbl_SelecionaContribuinte* frmtbl_SelecionaContribuinte::abrir()
{
    return abreCarregada<frmtbl_SelecionaContribuinte>();
}

void frmtbl_SelecionaContribuinte::cmdOK_Click()
{
    if (!linhaEscolhida()) {
        MessageBox::show(this, necessarioCadastrar());
        close();
        return;
    }
    JanelaPrincipal* p = JanelaPrincipal::aberta();
    if (!p) {
        MessageBox::show(this, necessarioCadastrar(), tituloMG, QMessageBox::Information);
        return;
    }
    p->selecionaContribuinte(celula(ColIE), celula(ColRazaoSocial), celula(ColChave));
    close();
    // The company is registered: a failure here is the server's, and says so.
    const ResultadoAtualizacao r = p->RecebeDadosServer();
    if (!r.ok() && r.falha != ResultadoAtualizacao::RespostaIlegivel)
        MessageBox::show(p->janela(), r.descricao, tituloMG, QMessageBox::Information);
}

frmtbl_atualizarContribuinte::frmtbl_atualizarContribuinte()
    : ListaContribuintes(QStringLiteral("Atualização de Contribuinte - Prefeitura Municipal de Ostare"),
                         QStringLiteral("Selecione o Contribuinte que deseja atualizar:"))
{
    setObjectName(QStringLiteral("frmtbl_atualizarContribuinte"));
}

frmtbl_atualizarContribuinte* frmtbl_atualizarContribuinte::abrir()
{
    return abreCarregada<frmtbl_atualizarContribuinte>();
}

void frmtbl_atualizarContribuinte::cmdOK_Click()
{
    if (!linhaEscolhida()) {
        MessageBox::show(this, necessarioSelecionar());
        return;
    }
    ContribuinteRecord registro{
        celula(ColIE), celula(ColRazaoSocial), celula(ColCnpj), celula(ColCnae), celula(ColChave), QString(), false};
    std::optional<ContribuinteRecord> salvo;
    try {
        salvo = cadastro::findContribuinte(registro.ie);
    } catch (const DatabaseError&) {
        MessageBox::show(this, necessarioCadastrar(), tituloMG, QMessageBox::Information);
        return;
    }
    // Another window deleted it after this list was read: the list is read again.
    if (!salvo) {
        MessageBox::show(this, contribuinte::mensagem::naoCadastrado(), tituloMG, QMessageBox::Information);
        carrega();
        return;
    }
    // A company stored by the import has no CCM: the field stays empty.
    registro.ccm = salvo->ccm;
    registro.optanteSimples = salvo->optanteSimples;
    QWidget* atualizacao = frmtbl_CadastroContribuinte::abrir(registro);
    connect(atualizacao, &QObject::destroyed, qApp, &JanelaPrincipal::switchOn);
    close();
}

frmtbl_exclusaoContribuinte::frmtbl_exclusaoContribuinte()
    : ListaContribuintes(QStringLiteral("Exclusão de Contribuinte - Prefeitura Municipal de Ostare"),
                         QStringLiteral("Selecione o Contribuinte que deseja excluir:"))
{
    setObjectName(QStringLiteral("frmtbl_exclusaoContribuinte"));
}

frmtbl_exclusaoContribuinte* frmtbl_exclusaoContribuinte::abrir()
{
    return abreCarregada<frmtbl_exclusaoContribuinte>();
}

void frmtbl_exclusaoContribuinte::cmdOK_Click()
{
    if (!linhaEscolhida()) {
        MessageBox::show(this, necessarioSelecionar());
        return;
    }
    if (MessageBox::show(this, QStringLiteral("Deseja realmente excluir este contribuinte"), tituloMG,
                         QMessageBox::NoIcon, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    const QString ie = celula(ColIE);
    try {
        cadastro::deleteContribuinte(ie);
    } catch (const DatabaseError&) {
        MessageBox::show(this, necessarioCadastrar(), tituloMG, QMessageBox::Information);
        return;
    }
    // The main window must not go on offering deliveries for a company that is gone.
    JanelaPrincipal* p = JanelaPrincipal::aberta();
    if (p && p->ieSelecionada() == ie)
        p->retiraSelecao();
    MessageBox::show(this, QStringLiteral("Contribuinte Excluído"), tituloMG, QMessageBox::Information);
    close();
}

} // namespace tervalia
