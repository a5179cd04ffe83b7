// Resolves each address given with SendARP and prints one line per address:
//   ADDRESS RESULT MAC LENGTH MICROSECONDS
// then "net_raw_effective 0|1" (whether CAP_NET_RAW is effective afterwards).
// Sends ARP requests or datagrams: refuses to run outside a lab namespace.
#include "platform/net/iphlpapi.h"
#include "platform/net/linux/handles.h"
#include "tests/support/lab.h"
#include "tools/labguard.h"

#include <arpa/inet.h>
#include <sys/capability.h>

#include <chrono>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    RequireLabNamespace("orvane-arp-probe");
    for (int i = 1; i < argc; ++i) {
        BYTE mac[6] = {};
        ULONG length = sizeof mac;
        const auto start = std::chrono::steady_clock::now();
        const DWORD result = SendARP(inet_addr(argv[i]), 0, mac, &length);
        const auto took = std::chrono::steady_clock::now() - start;
        std::printf(
            "%s %u %s %u %lld\n", argv[i], result,
            labtest::MacText(mac, result == NO_ERROR ? length : 0).c_str(), length,
            static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(took).count()));
    }
    cap_flag_value_t effective = CAP_CLEAR;
    if (const orvane::linux_handles::Caps caps(cap_get_proc()); caps)
        cap_get_flag(caps.get(), CAP_NET_RAW, CAP_EFFECTIVE, &effective);
    std::printf("net_raw_effective %d\n", effective == CAP_SET ? 1 : 0);
    return 0;
}
