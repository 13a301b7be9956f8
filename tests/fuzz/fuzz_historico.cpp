// The history and details documents, the rejection test and the server's date.
#include "app/Historico.h"
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tervalia::historico;
    const QString documento = tervalia::fuzz::text(data, size);
    static_cast<void>(rejeicao(documento));
    try {
        for (const Linha& linha : lerTransferencias(documento))
            static_cast<void>(linha);
    } catch (const XmlError&) {
    }
    try {
        static_cast<void>(lerDetalhes(documento));
    } catch (const XmlError&) {
    } catch (const DetalhesError&) {
    }
    const auto data_hora = converteDataServidor(trecho(documento, 32, 19));
    tervalia::fuzz::require(!data_hora || data_hora->isValid());
    return 0;
}
