// The remembered hosts' file on anything a disk, a crash or an editor may
// leave in it: reading never fails as a whole, what it keeps survives
// being written and read again unchanged, and a rewrite after a sweep keeps
// every line it could not read, word for word and in order.
#include "net/hosts_file.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

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

    RememberedHost seen;
    seen.ip = 0x0101A8C0;  // 192.168.1.1
    seen.adapter = "eth0";
    seen.seen = 1796665309;
    const std::string rewritten = ApplySightings(text, {seen});
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    std::size_t at = 0;
    for (int number : damaged) {
        const std::string kept = lines.at(static_cast<std::size_t>(number - 1)) + "\n";
        at = rewritten.find(kept, at);
        if (at == std::string::npos)
            std::abort();
        at += kept.size();
    }
    return 0;
}
