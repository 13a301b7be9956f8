#include "frmtbl_CriaContribuinte.h"
#include "ui_FormContribuinte.h"

#include "platform/MessageBox.h"
#include "storage/Database.h"
#include "taxpayers/ImportarEmpresas.h"
#include "taxpayers/SelecionarCertificado.h"

namespace tervalia {

frmtbl_CriaContribuinte::frmtbl_CriaContribuinte()
    : FormContribuinte(QStringLiteral("Cadastro de Contribuinte - Prefeitura Municipal de Ostare"), Uso::Criacao)
{
    setObjectName(QStringLiteral("frmtbl_CriaContribuinte"));
    connect(m_ui->Command1, &QPushButton::clicked, this, &frmtbl_CriaContribuinte::Command1_Click);
    connect(m_ui->Command2, &QPushButton::clicked, this, &frmtbl_CriaContribuinte::Command2_Click);
}

frmtbl_CriaContribuinte* frmtbl_CriaContribuinte::abrir()
{
    frmtbl_CriaContribuinte* janela = instance();
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

void frmtbl_CriaContribuinte::Command1_Click()
{
    const contribuinte::Campos c = campos();
    PedidoCertificado pedido;
    pedido.forma = FormaCertificado::PedidoChave;
    pedido.empresa = EmpresaDigitada{c.ie, c.razaoSocial, c.cnpj, c.cnae};
    const ResultadoCertificado resultado = SelecionarCertificado(this, pedido);
    if (resultado.chave)
        setChave(resultado.chave->chave, resultado.chave->optanteSimples);
}

// Many companies at once, from a NovaGIA export, in a window of its own.
void frmtbl_CriaContribuinte::Command2_Click()
{
    ImportarEmpresas::abrir();
}

} // namespace tervalia
