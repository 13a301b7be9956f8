#include "DadosContador.h"

namespace tervalia {

ContadorRecord DadosContador()
{
    return cadastro::readContador().value_or(ContadorRecord{});
}

QString cpfCnpjContador(const ContadorRecord& contador)
{
    QString documento = contador.cpfCnpj;
    documento.remove(QLatin1Char('.')).remove(QLatin1Char('-')).remove(QLatin1Char('/'));
    return documento;
}

QString cpfCnpjContador()
{
    return cpfCnpjContador(DadosContador());
}

} // namespace tervalia
