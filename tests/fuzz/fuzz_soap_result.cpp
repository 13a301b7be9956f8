// The SOAP answer reader: any server answer gives a text or a failure, never more.
#include "FuzzInput.h"
#include "net/Soap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tervalia;
    bool failed = true;
    const QString result = GetResult(fuzz::text(data, size), QStringLiteral("return"), &failed);
    fuzz::require(!failed || result.isEmpty());
    return 0;
}
