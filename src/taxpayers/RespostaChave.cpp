#include "RespostaChave.h"

#include "net/Servidor.h"
#include "net/Soap.h"
#include "net/TextoPosicional.h"

namespace tervalia {

QString pedeChave(const QString& ie, const QString& cnpj)
{
    namespace c = servidor::chave;
    return EnviaSoap(servidor::operacao::chave,
                     montaEnvelope(servidor::operacao::chave,
                                   {{c::paramIe, ie}, {c::paramCnpj, cnpj}, {c::paramCodigo, c::codigoAcesso}}));
}

std::optional<RespostaChave> lerRespostaChave(const QString& retorno)
{
    namespace c = servidor::chave;
    const QString chave = trecho(retorno, c::posChave, c::lenChave);
    const std::optional<QDateTime> data = converteDataServidor(trecho(retorno, c::posDataHora, c::lenDataHora));
    if (chave.size() != c::lenChave || !data)
        return std::nullopt;
    return RespostaChave{*data, trecho(retorno, c::posSimples, 1) == QLatin1String("S"), chave};
}

bool certificadoPossui(const QByteArray& documentoCertificado, const QString& x)
{
    return !x.isEmpty() && documentoCertificado.contains(x.toLatin1());
}

} // namespace tervalia
