// Which adapter a probe for an address goes out on, decided over the
// interface facts alone (no socket, no kernel), so every rule is testable
// offline.
#pragma once

#include "platform/net/adapter_layout.h"
#include "platform/net/arp_frame.h"

#include <cstdint>
#include <vector>

namespace orvane::arp {

enum class Choice {
    Found,       // ask on `ifindex`, from `ourIp`/`mac`
    OwnAddress,  // the machine's own address: `mac` is the answer
    NoAdapter,   // no adapter that is up holds a subnet with the address
    NoHost,      // the subnet's own network or broadcast address
};

struct AdapterChoice {
    Choice kind = Choice::NoAdapter;
    std::uint32_t ifindex = 0;
    HardwareAddress mac{};
    IPAddr ourIp = 0;
};

// Loopback and adapters without a 6-byte hardware address never count. An
// address of any adapter (up or not) is our own; otherwise the first adapter
// that is up with a subnet holding `destination` is chosen, among the
// addresses equal to `source` when that is not 0. A /31 has no network or
// broadcast address; a /32 holds only itself.
AdapterChoice ChooseAdapter(const std::vector<adapters::AdapterFacts>& interfaces, IPAddr destination,
                            IPAddr source);

}  // namespace orvane::arp
