#include "frmtbl_CriaContribuinte.h"
#include "ui_FormContribuinte.h"

#include "app/JanelaPrincipal.h"
#include "platform/MessageBox.h"
#include "storage/Database.h"
#include "taxpayers/ImportarEmpresas.h"

namespace tervalia {

frmtbl_CriaContribuinte::frmtbl_CriaContribuinte()
    : FormContribuinte(QStringLiteral("Cadastro de Contribuinte - Prefeitura Municipal de Ostare"), Uso::Criacao)
{
    setObjectName(QStringLiteral("frmtbl_CriaContribuinte"));
    connect(m_ui->Command2, &QPushButton::clicked, this, &frmtbl_CriaContribuinte::Command2_Click);
}

frmtbl_CriaContribuinte* frmtbl_CriaContribuinte::abrir()
{
    frmtbl_CriaContribuinte* janela = instance();
    JanelaPrincipal::mantemAcima(janela);
    janela->show();
    janela->raise();
    janela->activateWindow();
    return janela;
}

void frmtbl_CriaContribuinte::cmdOK_Click()
{
    if (!verificaAntesDeGravar())
        return;
    const contribuinte::Campos c = campos();
    try {
        if (cadastro::countContribuintes(c.ie) > 0) {
            setErroMsg(contribuinte::mensagem::jaCadastrado());
            return;
        }
        setErroMsg({});
        // Values are bound, not spliced: an apostrophe is stored as typed.
        cadastro::insertContribuinte({c.ie, c.razaoSocial, c.cnpj, c.cnae, c.chave, c.ccm, optanteSimples()});
    } catch (const DatabaseError& erro) {
        MessageBox::show(this, RelatorioErroBanco(erro));
        return;
    }
    MessageBox::showUntitled(this, contribuinte::mensagem::criado());
    close();
}

// Many companies at once, from a NovaGIA export, in a window of its own.
void frmtbl_CriaContribuinte::Command2_Click()
{
    ImportarEmpresas::abrir();
}

} // namespace tervalia
