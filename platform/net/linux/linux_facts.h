// Facts the adapter query and the resolver read from the running kernel.
// Implemented in adapters_linux.cpp; no privilege needed.
#pragma once

#include "platform/net/adapter_layout.h"
#include "platform/net/linux/netlink_parse.h"

#include <cstdint>
#include <vector>

namespace orvane::adapters {

// Every interface with its flags, hardware address and IPv4 addresses
// (getifaddrs), by interface index; gateways not filled in. False (errno
// set) when the kernel could not be asked.
bool ReadInterfaces(std::vector<AdapterFacts>& out);

// The main table's default IPv4 routes, lowest metric first (rtnetlink
// route dump). False (errno set) when the dump failed.
bool ReadMainDefaultRoutes(std::vector<nl::DefaultRoute>& out);

}  // namespace orvane::adapters

namespace orvane::arp {

// Binds the privileged path's packet socket to an interface (0, or -1 with
// errno, as bind()). A variable so that a test can make it fail.
extern int (*g_bindPacketSocket)(int fd, std::uint32_t ifindex);

}  // namespace orvane::arp
