// The main window's delivery button: the accountant is checked, the certificate notice shown, and
// the delivery window that fits the company's regime opened for the selected company.
#include "Principal.h"
#include "ui_Principal.h"

#include "delivery/JanelaEntrega.h"
#include "DespachoEntrega.h"
#include "platform/MessageBox.h"
#include "storage/Cadastro.h"
#include "storage/Database.h"

namespace tervalia {

namespace {
// The number a recordset read past its end has always reported.
constexpr qint64 erroSemRegistro = 3021;

DatabaseError semContribuinte(const QString& ie)
{
    return DatabaseError(erroSemRegistro, QStringLiteral("tblContribuinte"),
                         QStringLiteral("A empresa selecionada (IE %1) não está mais cadastrada; selecione-a "
                                        "novamente.")
                             .arg(ie));
}
} // namespace

void Principal::entregar()
{
    try {
        const std::optional<ContadorRecord> contador = cadastro::readContador();
        if (!contador) {
            MessageBox::show(this,
                             QStringLiteral("É necessário informar os dados do contador para envio da declaração"),
                             QStringLiteral("Tervalia - MG"));
            abrirContador();
            return;
        }
        thisCont_cpf_cnpj = contador->cpfCnpj;
        // The company is looked for before the notice, so that a company deleted meanwhile opens
        // nothing after a notice about a delivery that cannot happen.
        const std::optional<ContribuinteRecord> empresa = cadastro::findContribuinte(ieSelecionada());
        if (!empresa)
            throw semContribuinte(ieSelecionada());
        if (const QString aviso = despacho::impedimento(empresa->optanteSimples, ieSelecionada()); !aviso.isEmpty()) {
            MessageBox::show(this, aviso, QStringLiteral("Tervalia - MG"), QMessageBox::Information);
            return;
        }
        MessageBox::show(this,
                         QStringLiteral("O Certificado que será solicitado durante a transmissão é do contador "
                                        "responsável"),
                         QStringLiteral("Informação"), QMessageBox::Information);
        if (!empresa->optanteSimples)
            setInputEnabled(false);
        QWidget* janela = despacho::abreJanela(empresa->optanteSimples,
                                               {ieSelecionada(), razaoSocialSelecionada(), chaveSelecionada()});
        abreFilha(janela);
        despacho::marcaAnoTrabalho(janela, anoTrabalho);
    } catch (const DatabaseError& erro) {
        MessageBox::show(this, RelatorioErroBanco(erro));
        setInputEnabled(true);
    }
}

} // namespace tervalia
