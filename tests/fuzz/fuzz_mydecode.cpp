// Base64 decoding of a certificate export: three bytes per four characters, or the length error.
#include "FuzzInput.h"
#include "net/Enc64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tervalia;
    QString texto = fuzz::text(data, size);
    try {
        const QByteArray bytes = MyDecode(texto);
        fuzz::require(bytes.size() <= texto.size() / 4 * 3);
        fuzz::require(!texto.contains(u'\r') && !texto.contains(u'\n'));
    } catch (const Base64Error& e) {
        fuzz::require(texto.size() % 4 != 0 && e.number() == -2147221504);
    }
    return 0;
}
