// The remembered hosts' file on anything a disk, a crash or an editor may
// leave in it: reading never fails as a whole, and what it keeps survives
// being written and read again unchanged.
#include "net/hosts_file.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<int> damaged;
    const std::vector<RememberedHost> hosts = ParseHostsText(text, damaged);
    const std::string written = FormatHostsText(hosts);
    std::vector<int> damagedAgain;
    const std::vector<RememberedHost> again = ParseHostsText(written, damagedAgain);
    if (!damagedAgain.empty() || FormatHostsText(again) != written)
        std::abort();
    return 0;
}
