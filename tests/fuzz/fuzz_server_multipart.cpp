// The stand-in server's multipart reader: the first line is the Content-Type, the rest the body.
#include "FuzzInput.h"
#include "server/Multipart.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tervalia::standin;
    const QByteArray entrada = tervalia::fuzz::bytes(data, size);
    const qsizetype fim = entrada.indexOf('\n');
    const QByteArray tipo = fim < 0 ? entrada : entrada.left(fim);
    const QByteArray corpo = fim < 0 ? QByteArray() : entrada.mid(fim + 1);
    const QByteArray boundary = boundaryFromContentType(tipo);
    if (boundary.isEmpty())
        return 0;
    const MultipartResult r = parseMultipart(corpo, boundary);
    qsizetype total = 0;
    for (const FormPart& p : r.parts)
        total += p.content.size();
    tervalia::fuzz::require(total <= corpo.size());
    return 0;
}
