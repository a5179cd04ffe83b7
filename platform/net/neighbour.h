// What the system already knows of the hosts on the LAN, read without
// sending anything: its neighbour (ARP) table, and the addresses a host
// name resolves to.
#pragma once

#include "platform/net/iphlpapi.h"

#include <string>
#include <vector>

namespace orvane::net {

// The hardware address the neighbour table holds for `ip` on the adapter
// with index `ifIndex`: false when it holds none that names a station.
bool LookUpNeighbour(IPAddr ip, DWORD ifIndex, BYTE (&mac)[6]);

// The IPv4 addresses `name` resolves to through the system's resolver
// (hosts file, DNS, ...), in its order; empty when it does not resolve.
std::vector<IPAddr> ResolveHostName(const std::string& name);

}  // namespace orvane::net
