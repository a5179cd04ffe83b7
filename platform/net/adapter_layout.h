// What the adapter query knows about each interface, the order the
// program sees adapters in, and the records laid out in the caller's
// buffer. Pure: the facts come from adapters_linux.cpp or from a test.
#pragma once

#include "platform/net/iphlpapi.h"
#include "platform/net/linux/netlink_parse.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orvane::adapters {

struct Ipv4Address {
    IPAddr address = 0;  // network byte order
    IPAddr mask = 0;
};

struct AdapterFacts {
    std::string name;
    std::uint32_t index = 0;
    unsigned flags = 0;              // IFF_* of the interface
    std::uint16_t hardwareType = 0;  // ARPHRD_*
    std::uint8_t addressLength = 0;  // hardware address bytes (6 for Ethernet)
    std::array<std::uint8_t, MAX_ADAPTER_ADDRESS_LENGTH> address{};
    std::vector<Ipv4Address> ipv4;    // in the kernel's order
    std::vector<IPAddr> gateways;     // distinct, lowest metric first
    bool holdsDefaultRoute = false;   // a main-table default route leaves through it
    std::uint32_t defaultMetric = 0;  // the lowest such route's metric
};

// Gives each adapter its default routes; `defaults` is lowest metric first
// (MainDefaultRoutes). Routes straight out of a device count for the order
// but add no gateway.
void AttachDefaultRoutes(std::vector<AdapterFacts>& adapters, const std::vector<nl::DefaultRoute>& defaults);

// Drops loopback, then orders by the shared rule (adapter_order.h), with the
// interface index as the system's order. So the first record is the
// adapter that leads to the LAN even next to bridges and container
// interfaces.
void OrderAdapters(std::vector<AdapterFacts>& adapters);

// Bytes the records of `adapters` take in a caller's buffer.
ULONG RequiredLength(const std::vector<AdapterFacts>& adapters);

// The buffer protocol of GetAdaptersInfo over already ordered adapters:
// ERROR_NO_DATA with none; ERROR_BUFFER_OVERFLOW and *length = bytes needed
// for a null or short buffer; else the chain laid out in `buffer` (records
// first, as an array, then the extra address and gateway entries) and
// NO_ERROR. ERROR_INVALID_PARAMETER for a null `length`.
DWORD WriteAdapterInfo(const std::vector<AdapterFacts>& adapters, PIP_ADAPTER_INFO buffer, ULONG* length);

}  // namespace orvane::adapters
