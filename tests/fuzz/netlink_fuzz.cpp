// The netlink readers on any bytes, as a hostile or broken sender may put
// them in a receive buffer. The buffer is exactly as long as the input, so
// the sanitizer sees any read past what was received.
#include "platform/net/linux/netlink_parse.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Aligned like a receive buffer, no bigger than the bytes received.
    const std::unique_ptr<std::uint8_t[]> received(new std::uint8_t[size ? size : 1]);
    std::memcpy(received.get(), data, size);
    std::vector<orvane::nl::RouteEntry> routes;
    orvane::nl::ReadRouteChunk(received.get(), size, 0, 0, routes);
    orvane::nl::MainDefaultRoutes(routes);
    std::vector<orvane::nl::NeighbourEntry> neighbours;
    orvane::nl::ReadNeighbourChunk(received.get(), size, 0, 0, neighbours);
    for (const auto& entry : neighbours)
        orvane::nl::HasUsableHardwareAddress(entry);
    return 0;
}
