// The order the program lists adapters in, the same on every system: the
// adapter that leads to the LAN first. Pure: each backend reads its system's
// facts (adapters_linux.cpp, adapters_windows.cpp) and a test fills them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvane::adapters {

struct OrderFacts {
    bool active = false;              // up, with an IPv4 address
    bool holdsDefaultRoute = false;   // an IPv4 default route leaves through it
    std::uint32_t defaultMetric = 0;  // the lowest such route's metric
};

// Positions into `adapters`, which come in the system's order: the active
// adapter holding the lowest-metric default route first (the earlier one on
// a tie), then the other active adapters, then the rest; each group keeps
// the system's order. A virtual host-only adapter that the system lists
// first thus never hides the one that reaches the LAN.
std::vector<std::size_t> ShownOrder(const std::vector<OrderFacts>& adapters);

}  // namespace orvane::adapters
