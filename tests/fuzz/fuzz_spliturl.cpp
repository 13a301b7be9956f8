// Address splitting: any text gives its parts, or the Portuguese port error.
#include "FuzzInput.h"
#include "net/UrlHelper.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tervalia;
    try {
        const UrlParts parts = SplitUrl(fuzz::text(data, size));
        fuzz::require(!parts.Path.isEmpty() && parts.Port >= -32768 && parts.Port <= 32767);
    } catch (const UrlError& e) {
        fuzz::require(!e.description().isEmpty());
    }
    return 0;
}
