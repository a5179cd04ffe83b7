// The neighbour table over rtnetlink, and names over getaddrinfo.
#include "platform/net/neighbour.h"

#include "platform/net/linux/handles.h"
#include "platform/net/linux/netlink_parse.h"

#include <libmnl/libmnl.h>
#include <linux/netlink.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace orvane::net {

bool LookUpNeighbour(IPAddr ip, DWORD ifIndex, BYTE (&mac)[6])
{
    linux_handles::MnlSocket socket(mnl_socket_open2(NETLINK_ROUTE, SOCK_CLOEXEC));
    if (!socket || mnl_socket_bind(socket.get(), 0, MNL_SOCKET_AUTOPID) < 0)
        return false;
    std::vector<std::uint8_t> buffer(nl::kDumpChunkSize);
    constexpr std::uint32_t kSeq = 1;
    const std::size_t length = nl::BuildNeighbourDumpRequest(buffer.data(), buffer.size(), kSeq, ifIndex);
    if (length == 0 || mnl_socket_sendto(socket.get(), buffer.data(), length) < 0)
        return false;

    std::vector<nl::NeighbourEntry> entries;
    for (;;) {
        const ssize_t received = mnl_socket_recvfrom(socket.get(), buffer.data(), buffer.size());
        if (received < 0 && errno == EINTR)
            continue;
        if (received <= 0)
            return false;
        const auto result = nl::ReadNeighbourChunk(buffer.data(), static_cast<std::size_t>(received), kSeq,
                                                   mnl_socket_get_portid(socket.get()), entries);
        if (result != nl::ChunkResult::More)
            break;
    }
    for (const auto& entry : entries) {
        if (const auto station = nl::StationAddressFor(entry, ip, ifIndex)) {
            std::copy(station->begin(), station->end(), mac);
            return true;
        }
    }
    return false;
}

std::vector<IPAddr> ResolveHostName(const std::string& name)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    std::vector<IPAddr> addresses;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &list) != 0)
        return addresses;
    for (const addrinfo* ai = list; ai; ai = ai->ai_next) {
        const IPAddr address = reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr.s_addr;
        if (std::find(addresses.begin(), addresses.end(), address) == addresses.end())
            addresses.push_back(address);
    }
    freeaddrinfo(list);
    return addresses;
}

}  // namespace orvane::net
