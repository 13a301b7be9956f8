// The settings reader: a value is empty or between 2 and 254 characters, whatever the file holds.
#include "FuzzInput.h"
#include "storage/ReadWrite.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tervalia;
    const QByteArray conteudo = fuzz::bytes(data, size);
    for (const char* chave : {"host", "port"}) {
        const QString valor = valorConfiguracao(conteudo, QStringLiteral("servidor"), QLatin1String(chave));
        fuzz::require(valor.isEmpty() || (valor.size() >= 2 && valor.size() <= 254));
    }
    return 0;
}
