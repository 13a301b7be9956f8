#include "frmtbl_CadastroContribuinte.h"

#include "app/JanelaPrincipal.h"
#include "platform/MessageBox.h"
#include "storage/Database.h"

namespace tervalia {

frmtbl_CadastroContribuinte::frmtbl_CadastroContribuinte()
    : FormContribuinte(QStringLiteral("Atualização de Contribuinte - Prefeitura Municipal de Ostare"), Uso::Atualizacao)
{
    setObjectName(QStringLiteral("frmtbl_CadastroContribuinte"));
}

frmtbl_CadastroContribuinte* frmtbl_CadastroContribuinte::abrir(const ContribuinteRecord& registro)
{
    frmtbl_CadastroContribuinte* janela = instance();
    janela->preenche(registro);
    janela->setErroMsg({});
    JanelaPrincipal::mantemAcima(janela);
    janela->show();
    janela->raise();
    janela->activateWindow();
    return janela;
}

void frmtbl_CadastroContribuinte::cmdOK_Click()
{
    if (!verificaAntesDeGravar())
        return;
    const contribuinte::Campos c = campos();
    try {
        if (cadastro::countContribuintes(c.ie) == 0) {
            setErroMsg(contribuinte::mensagem::naoCadastrado());
            return;
        }
        setErroMsg({});
        // The key and the flag are the stored ones unless a key request brought the server's.
        cadastro::updateContribuinte({c.ie, c.razaoSocial, c.cnpj, c.cnae, c.chave, c.ccm, optanteSimples()});
    } catch (const DatabaseError& erro) {
        MessageBox::show(this, RelatorioErroBanco(erro));
        return;
    }
    MessageBox::show(this, contribuinte::mensagem::atualizado(), QStringLiteral("Tervalia - MG"));
    close();
}

} // namespace tervalia
