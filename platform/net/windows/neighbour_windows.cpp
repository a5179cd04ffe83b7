// The neighbour table through IP Helper, and names through Winsock.
#include "platform/net/neighbour.h"

#include "platform/net/arp_frame.h"
#include "platform/net/winsock.h"

#include <algorithm>
#include <vector>

namespace orvane::net {

bool LookUpNeighbour(IPAddr ip, DWORD ifIndex, BYTE (&mac)[6])
{
    ULONG size = 0;
    if (GetIpNetTable(nullptr, &size, FALSE) != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return false;
    std::vector<BYTE> buffer(size);
    auto* table = reinterpret_cast<MIB_IPNETTABLE*>(buffer.data());
    if (GetIpNetTable(table, &size, FALSE) != NO_ERROR)
        return false;
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_IPNETROW& row = table->table[i];
        const bool usable = row.dwType == MIB_IPNET_TYPE_DYNAMIC || row.dwType == MIB_IPNET_TYPE_STATIC;
        if (row.dwAddr != ip || row.dwIndex != ifIndex || !usable || row.dwPhysAddrLen != 6)
            continue;
        orvane::arp::HardwareAddress station;
        std::copy_n(row.bPhysAddr, station.size(), station.begin());
        if (orvane::arp::NamesAStation(station)) {
            std::copy(station.begin(), station.end(), mac);
            return true;
        }
    }
    return false;
}

std::vector<IPAddr> ResolveHostName(const std::string& name)
{
    WSADATA wsaData;
    std::vector<IPAddr> addresses;
    if (WSAStartup(MAKEWORD(2, 2), &wsaData) != 0)
        return addresses;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &list) == 0) {
        for (const addrinfo* ai = list; ai; ai = ai->ai_next) {
            const IPAddr address = reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr.s_addr;
            if (std::find(addresses.begin(), addresses.end(), address) == addresses.end())
                addresses.push_back(address);
        }
        freeaddrinfo(list);
    }
    WSACleanup();
    return addresses;
}

}  // namespace orvane::net
