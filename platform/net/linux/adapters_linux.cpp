// GetAdaptersInfo over Linux: this file only gathers facts from the kernel;
// ordering and the record layout are adapter_layout.cpp's.
#include "platform/base/afxstr.h"
#include "platform/net/iphlpapi.h"
#include "platform/net/linux/handles.h"
#include "platform/net/linux/linux_facts.h"

#include <ifaddrs.h>
#include <libmnl/libmnl.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>
#include <netpacket/packet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace orvane::adapters {
namespace {

struct IfaddrsFree {
    void operator()(ifaddrs* list) const { freeifaddrs(list); }
};

IPAddr AddressOf(const sockaddr* address)
{
    if (address == nullptr || address->sa_family != AF_INET)
        return 0;
    sockaddr_in in;
    std::memcpy(&in, address, sizeof in);
    return in.sin_addr.s_addr;
}

// An IPv4 entry is named by its address label ("eth0" or an alias such as
// "eth0:1"); the label starts with the interface's own name.
AdapterFacts* OwnerOf(std::vector<AdapterFacts>& adapters, std::string_view label)
{
    for (AdapterFacts& adapter : adapters)
        if (adapter.name == label)
            return &adapter;
    const std::string_view device = label.substr(0, label.find(':'));
    for (AdapterFacts& adapter : adapters)
        if (adapter.name == device)
            return &adapter;
    return nullptr;
}

}  // namespace

bool ReadInterfaces(std::vector<AdapterFacts>& out)
{
    out.clear();
    ifaddrs* raw = nullptr;
    if (getifaddrs(&raw) != 0)
        return false;
    std::unique_ptr<ifaddrs, IfaddrsFree> list(raw);

    // The link entries (AF_PACKET) name every interface with its index and
    // hardware address; glibc lists them before any address entry.
    for (const ifaddrs* entry = raw; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_PACKET)
            continue;
        sockaddr_ll link;
        std::memcpy(&link, entry->ifa_addr, sizeof link);
        AdapterFacts adapter;
        adapter.name = entry->ifa_name;
        adapter.index = static_cast<std::uint32_t>(link.sll_ifindex);
        adapter.flags = entry->ifa_flags;
        adapter.hardwareType = link.sll_hatype;
        adapter.addressLength = std::min<std::uint8_t>(link.sll_halen, adapter.address.size());
        std::memcpy(adapter.address.data(), link.sll_addr, adapter.addressLength);
        out.push_back(std::move(adapter));
    }
    for (const ifaddrs* entry = raw; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        if (AdapterFacts* owner = OwnerOf(out, entry->ifa_name))
            owner->ipv4.push_back({AddressOf(entry->ifa_addr), AddressOf(entry->ifa_netmask)});
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const AdapterFacts& a, const AdapterFacts& b) { return a.index < b.index; });
    return true;
}

bool ReadMainDefaultRoutes(std::vector<nl::DefaultRoute>& out)
{
    out.clear();
    const linux_handles::MnlSocket socket(mnl_socket_open2(NETLINK_ROUTE, SOCK_CLOEXEC));
    if (!socket || mnl_socket_bind(socket.get(), 0, MNL_SOCKET_AUTOPID) < 0)
        return false;
    const unsigned portid = mnl_socket_get_portid(socket.get());

    std::vector<std::uint8_t> buffer(nl::kDumpChunkSize);
    const std::uint32_t seq = 1;
    const std::size_t requestLength = nl::BuildRouteDumpRequest(buffer.data(), buffer.size(), seq);
    if (mnl_socket_sendto(socket.get(), buffer.data(), requestLength) < 0)
        return false;

    std::vector<nl::RouteEntry> routes;
    for (;;) {
        const ssize_t received = mnl_socket_recvfrom(socket.get(), buffer.data(), buffer.size());
        if (received < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        switch (nl::ReadRouteChunk(buffer.data(), static_cast<std::size_t>(received), seq, portid, routes)) {
            case nl::ChunkResult::More:
                continue;
            case nl::ChunkResult::Done:
                out = nl::MainDefaultRoutes(routes);
                return true;
            case nl::ChunkResult::Failed:
                return false;
        }
    }
}

}  // namespace orvane::adapters

DWORD GetAdaptersInfo(PIP_ADAPTER_INFO buffer, ULONG* length)
{
    using namespace orvane::adapters;
    if (length == nullptr)
        return ERROR_INVALID_PARAMETER;
    std::vector<AdapterFacts> adapters;
    std::vector<orvane::nl::DefaultRoute> defaults;
    if (!ReadInterfaces(adapters) || !ReadMainDefaultRoutes(defaults))
        return ERROR_GEN_FAILURE;
    AttachDefaultRoutes(adapters, defaults);
    OrderAdapters(adapters);
    // The records carry the program's narrow text (GBK); Linux names are
    // UTF-8 bytes, which may be Chinese.
    for (AdapterFacts& adapter : adapters)
        adapter.name = GbkFromUtf8(adapter.name);
    return WriteAdapterInfo(adapters, buffer, length);
}
