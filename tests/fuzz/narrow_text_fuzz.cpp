// The conversions between the program's GBK narrow text and UTF-8 on any
// bytes (an interface name, a control's text): nothing read past the input,
// and what comes back from GBK is always valid UTF-8 again.
#include "platform/base/afxstr.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string gbk = GbkFromUtf8(bytes);
    const std::string utf8 = Utf8FromGbk(gbk);
    // GBK that came from UTF-8 converts back without loss of validity.
    if (GbkFromUtf8(utf8) != gbk)
        std::abort();
    Utf8FromGbk(bytes);
    return 0;
}
