#include "DespachoEntrega.h"

#include "delivery/frmUpload.h"
#include "delivery/frmUploadSimples.h"

namespace tervalia::despacho {

QString impedimento(bool simples, const QString& ie)
{
    const JanelaEntrega* aberta =
        simples ? static_cast<JanelaEntrega*>(frmUploadSimples::existing()) : frmUpload::existing();
    return aberta ? aberta->impedimento(ie) : QString();
}

QWidget* abreJanela(bool simples, const EmpresaEntrega& empresa)
{
    if (simples)
        return frmUploadSimples::abrir(empresa);
    return frmUpload::abrir(empresa);
}

void marcaAnoTrabalho(QWidget* janela, const QString& anoTrabalho)
{
    if (!janela->windowTitle().contains(anoTrabalho))
        janela->setWindowTitle(janela->windowTitle() + QStringLiteral(" - Ano trabalho: ") + anoTrabalho);
}

} // namespace tervalia::despacho
