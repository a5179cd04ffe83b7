#include "platform/net/adapter_choice.h"

#include <arpa/inet.h>
#include <net/if.h>

#include <algorithm>

namespace orvane::arp {
namespace {

bool Usable(const adapters::AdapterFacts& adapter)
{
    return !(adapter.flags & IFF_LOOPBACK) && adapter.addressLength == 6;
}

HardwareAddress SixBytes(const adapters::AdapterFacts& adapter)
{
    HardwareAddress mac;
    std::copy_n(adapter.address.begin(), mac.size(), mac.begin());
    return mac;
}

}  // namespace

AdapterChoice ChooseAdapter(const std::vector<adapters::AdapterFacts>& interfaces, IPAddr destination,
                            IPAddr source)
{
    AdapterChoice choice;
    for (const auto& adapter : interfaces) {
        if (!Usable(adapter))
            continue;
        for (const auto& own : adapter.ipv4) {
            if (own.address == destination) {
                choice.kind = Choice::OwnAddress;
                choice.mac = SixBytes(adapter);
                return choice;
            }
        }
    }
    for (const auto& adapter : interfaces) {
        if (!Usable(adapter) || !(adapter.flags & IFF_UP))
            continue;
        for (const auto& own : adapter.ipv4) {
            if (source != 0 && own.address != source)
                continue;
            if ((own.address & own.mask) != (destination & own.mask))
                continue;
            // The subnet's own network and broadcast addresses name no host.
            const std::uint32_t hostBits = ~ntohl(own.mask);
            const std::uint32_t host = ntohl(destination) & hostBits;
            if (hostBits > 1 && (host == 0 || host == hostBits)) {
                choice.kind = Choice::NoHost;
                return choice;
            }
            choice.kind = Choice::Found;
            choice.ifindex = adapter.index;
            choice.mac = SixBytes(adapter);
            choice.ourIp = own.address;
            return choice;
        }
    }
    return choice;
}

}  // namespace orvane::arp
