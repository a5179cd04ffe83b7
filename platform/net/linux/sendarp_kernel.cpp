// The unprivileged way: a datagram makes the kernel resolve the address,
// and its neighbour table, dumped and watched over rtnetlink, gives the
// answer, judged by the same rule as the packet path's.
#include "platform/net/linux/netlink_parse.h"
#include "platform/net/linux/sendarp_common.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace orvane::arp {
namespace {

// The UDP port a datagram goes to when we only want the kernel to resolve
// the address: discard, which nobody is expected to serve.
constexpr std::uint16_t kDiscardPort = 9;

bool SendNeighbourDump(Probe& probe, std::uint8_t* buffer, std::size_t size)
{
    ++probe.dumpSeq;
    const std::size_t length = nl::BuildNeighbourDumpRequest(buffer, size, probe.dumpSeq, probe.ifindex);
    return length != 0 && mnl_socket_sendto(probe.netlink.get(), buffer, length) >= 0;
}

// Reads what the kernel sent (dump replies and events alike); true once an
// entry answers the probe. `dumpDone` turns true at the end of the dump.
bool TakeNeighbours(Probe& probe, std::uint8_t* buffer, std::size_t size, bool& dumpDone)
{
    std::vector<nl::NeighbourEntry> entries;
    for (;;) {
        const ssize_t received = recv(mnl_socket_get_fd(probe.netlink.get()), buffer, size, MSG_DONTWAIT);
        if (received < 0) {
            // Events were lost (a busy table): ask for the whole picture again.
            if (errno == ENOBUFS && SendNeighbourDump(probe, buffer, size)) {
                dumpDone = false;
                continue;
            }
            return false;
        }
        entries.clear();
        // Sequence 0: dump replies and events (sequence 0) both pass.
        const auto result = nl::ReadNeighbourChunk(buffer, static_cast<std::size_t>(received), 0, 0, entries);
        // The same rule as the packet path's for the address itself.
        for (const auto& entry : entries) {
            if (auto mac = nl::StationAddressFor(entry, probe.destination, probe.ifindex)) {
                probe.answer = *mac;
                return true;
            }
        }
        if (result != nl::ChunkResult::More)
            dumpDone = true;
    }
}

void PromptKernel(const Probe& probe)
{
    linux_handles::Fd udp(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!udp)
        return;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kDiscardPort);
    to.sin_addr.s_addr = probe.destination;
    const std::uint8_t nothing = 0;
    sendto(udp.get(), &nothing, sizeof nothing, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&to),
           sizeof to);
}

}  // namespace

void AskTheKernel(Probe& probe)
{
    probe.netlink.reset(mnl_socket_open2(NETLINK_ROUTE, SOCK_CLOEXEC));
    if (!probe.netlink)
        return;
    // Subscribe before the dump, so that no change falls between the two.
    if (mnl_socket_bind(probe.netlink.get(), RTMGRP_NEIGH, MNL_SOCKET_AUTOPID) < 0)
        return;
    int on = 1;
    mnl_socket_setsockopt(probe.netlink.get(), NETLINK_GET_STRICT_CHK, &on, sizeof on);

    std::vector<std::uint8_t> buffer(nl::kDumpChunkSize);
    if (!SendNeighbourDump(probe, buffer.data(), buffer.size()))
        return;
    const int fd = mnl_socket_get_fd(probe.netlink.get());
    bool dumpDone = false;
    while (!dumpDone) {
        if (!WaitReadable(fd, probe.deadline))
            return;
        if (TakeNeighbours(probe, buffer.data(), buffer.size(), dumpDone))
            return;
    }
    PromptKernel(probe);
    while (WaitReadable(fd, probe.deadline)) {
        bool ignored = false;
        if (TakeNeighbours(probe, buffer.data(), buffer.size(), ignored))
            return;
    }
}

}  // namespace orvane::arp
