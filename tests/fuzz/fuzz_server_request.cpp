// The stand-in server's request reader, fed in pieces as a connection delivers them: the first
// byte sets the piece size.
#include "FuzzInput.h"
#include "server/HttpRequest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tervalia::standin;
    if (size == 0)
        return 0;
    const std::size_t piece = 1 + data[0] % 64;
    HttpLimits limits;
    limits.maxBodyBytes = 4096;
    HttpRequestParser parser(limits);
    for (std::size_t at = 1; at < size && parser.state() == HttpRequestParser::State::NeedMore; at += piece) {
        const std::size_t n = std::min(piece, size - at);
        parser.feed(QByteArrayView(reinterpret_cast<const char*>(data + at), static_cast<qsizetype>(n)));
    }
    if (parser.state() == HttpRequestParser::State::Complete)
        tervalia::fuzz::require(parser.request().body.size() <= limits.maxBodyBytes);
    if (parser.state() == HttpRequestParser::State::Failed)
        tervalia::fuzz::require(parser.errorStatus() == 400 || parser.errorStatus() == 413);
    static_cast<void>(parseQuery(parser.request().query()));
    return 0;
}
