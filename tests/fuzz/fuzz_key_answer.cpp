// The key answer of "Transferencia.ecnpj": a key is exactly 8 characters with a valid date, or none.
#include "FuzzInput.h"
#include "taxpayers/RespostaChave.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tervalia;
    const QString retorno = fuzz::text(data, size);
    const std::optional<RespostaChave> resposta = lerRespostaChave(retorno);
    if (resposta)
        fuzz::require(resposta->chave.size() == 8 && resposta->dataServidor.isValid());
    static_cast<void>(certificadoPossui(fuzz::bytes(data, size), retorno.left(14)));
    return 0;
}
