// SendARP over Linux. With the privilege to open a packet socket it asks
// the segment itself (an ARP request, one resend); without it, it lets the
// kernel resolve the address and learns the answer from rtnetlink.
#include "platform/base/afxstop.h"
#include "platform/net/arp_frame.h"
#include "platform/net/iphlpapi.h"
#include "platform/net/linux/linux_facts.h"
#include "platform/net/linux/netlink_parse.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <libmnl/libmnl.h>
#include <linux/filter.h>
#include <linux/if_ether.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netpacket/packet.h>
#include <poll.h>
#include <sys/capability.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using orvane::arp::HardwareAddress;

// How long one address may keep us waiting. A live host on the segment
// answers in well under a millisecond, so the wait is almost entirely what
// a *silent* address costs, and the sweep probes one address at a time:
// a /24 costs about 254 x this when nobody is home (25 s at 100 ms, 62 s
// at 250 ms). 100 ms still leaves ample room for a slow or busy host.
constexpr auto kAnswerWait = std::chrono::milliseconds(100);
// A single lost request or reply should not make a live host look dead:
// the privileged path asks once more halfway through the wait.
constexpr auto kResendAfter = std::chrono::milliseconds(50);

// The UDP port a datagram goes to when we only want the kernel to resolve
// the address: discard, which nobody is expected to serve.
constexpr std::uint16_t kDiscardPort = 9;

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ~Fd()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

struct MnlSocket {
    mnl_socket* socket = nullptr;
    MnlSocket() = default;
    MnlSocket(const MnlSocket&) = delete;
    MnlSocket& operator=(const MnlSocket&) = delete;
    ~MnlSocket()
    {
        if (socket != nullptr)
            mnl_socket_close(socket);
    }
};

// Everything one SendARP call needs, in one place.
struct Probe {
    IPAddr destination = 0;
    Clock::time_point start;
    Clock::time_point deadline;

    // The adapter whose subnet holds the destination.
    std::uint32_t ifindex = 0;
    HardwareAddress ourMac{};
    IPAddr ourIp = 0;

    int packet = -1;    // privileged path: the thread's PacketChannel socket
    MnlSocket netlink;  // unprivileged path
    std::uint32_t dumpSeq = 0;

    std::optional<HardwareAddress> answer;
};

enum class Choice { Found, OwnAddress, NoAdapter, NoHost };

HardwareAddress SixBytes(const std::array<std::uint8_t, MAX_ADAPTER_ADDRESS_LENGTH>& address)
{
    HardwareAddress mac;
    std::copy_n(address.begin(), mac.size(), mac.begin());
    return mac;
}

// Picks the adapter for the probe; answers the machine's own addresses on
// the spot.
Choice ChooseAdapter(Probe& probe, IPAddr source)
{
    std::vector<orvane::adapters::AdapterFacts> interfaces;
    if (!orvane::adapters::ReadInterfaces(interfaces))
        return Choice::NoAdapter;
    for (const auto& adapter : interfaces) {
        if ((adapter.flags & IFF_LOOPBACK) || adapter.addressLength != 6)
            continue;
        for (const auto& own : adapter.ipv4) {
            if (own.address == probe.destination) {
                probe.answer = SixBytes(adapter.address);
                return Choice::OwnAddress;
            }
        }
    }
    for (const auto& adapter : interfaces) {
        if ((adapter.flags & IFF_LOOPBACK) || !(adapter.flags & IFF_UP) || adapter.addressLength != 6)
            continue;
        for (const auto& own : adapter.ipv4) {
            if (source != 0 && own.address != source)
                continue;
            if ((own.address & own.mask) != (probe.destination & own.mask))
                continue;
            // The subnet's own network and broadcast addresses name no host.
            const std::uint32_t hostBits = ~ntohl(own.mask);
            const std::uint32_t host = ntohl(probe.destination) & hostBits;
            if (hostBits > 1 && (host == 0 || host == hostBits))
                return Choice::NoHost;
            probe.ifindex = adapter.index;
            probe.ourMac = SixBytes(adapter.address);
            probe.ourIp = own.address;
            return Choice::Found;
        }
    }
    return Choice::NoAdapter;
}

// An AF_PACKET socket, if this process may have one. CAP_NET_RAW is made
// effective only for the socket() call (and put back as it was), so a
// binary given the capability does not run with it raised. Protocol 0
// until bound: the socket sees no frames of other interfaces meanwhile.
Fd OpenPacketSocket()
{
    cap_t caps = cap_get_proc();
    const cap_value_t netRaw = CAP_NET_RAW;
    cap_flag_value_t permitted = CAP_CLEAR;
    cap_flag_value_t effective = CAP_CLEAR;
    bool raised = false;
    if (caps != nullptr) {
        cap_get_flag(caps, netRaw, CAP_PERMITTED, &permitted);
        cap_get_flag(caps, netRaw, CAP_EFFECTIVE, &effective);
        if (permitted == CAP_SET && effective != CAP_SET) {
            cap_set_flag(caps, CAP_EFFECTIVE, 1, &netRaw, CAP_SET);
            raised = cap_set_proc(caps) == 0;
        }
    }
    Fd fd(socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0));
    const int error = errno;
    if (raised) {
        cap_set_flag(caps, CAP_EFFECTIVE, 1, &netRaw, CAP_CLEAR);
        cap_set_proc(caps);
    }
    if (caps != nullptr)
        cap_free(caps);
    errno = error;
    return fd;
}

// The privileged path's socket, kept for the life of the calling thread.
// Closing a packet socket makes the kernel wait for a network-wide RCU
// grace period (synchronize_net): measured at 8-16 ms here, a cost every
// probe of a sweep would pay on top of its wait. Tied to the namespace and
// interface it was bound in; anything else gets a fresh one.
struct PacketChannel {
    Fd fd;
    bool tried = false;  // opened, or found that we may not
    ino_t netns = 0;     // network namespace it belongs to
    std::uint32_t boundIfindex = 0;
};
thread_local PacketChannel t_channel;

ino_t CurrentNetNamespace()
{
    struct stat self {};
    return stat("/proc/thread-self/ns/net", &self) == 0 ? self.st_ino : 0;
}

// Only ARP replies reach the socket: requests and other chatter on a busy
// segment would otherwise pile up in it between probes.
bool KeepOnlyArpReplies(int fd)
{
    static sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 12),  // EtherType
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, orvane::arp::kEtherTypeArp, 0, 3),
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, orvane::arp::kEthernetHeaderLength + 6),  // opcode
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, orvane::arp::kOpReply, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0xffff),
        BPF_STMT(BPF_RET | BPF_K, 0),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(code)), code};
    return setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0;
}

// The thread's packet socket bound to `ifindex`, with nothing stale queued;
// -1 when this process may not have one (or it cannot be bound).
int PacketSocketFor(std::uint32_t ifindex)
{
    PacketChannel& channel = t_channel;
    const ino_t netns = CurrentNetNamespace();
    if (channel.tried && channel.netns != netns)
        channel = PacketChannel{};
    if (!channel.tried) {
        channel.tried = true;
        channel.netns = netns;
        channel.fd = OpenPacketSocket();
        // Only a refusal is final; a passing shortage (descriptors, memory)
        // is tried again next time.
        if (!channel.fd && errno != EPERM && errno != EACCES)
            channel.tried = false;
        if (channel.fd && !KeepOnlyArpReplies(channel.fd.get()))
            channel.fd = Fd{};
    }
    if (!channel.fd)
        return -1;
    if (channel.boundIfindex != ifindex) {
        sockaddr_ll bound{};
        bound.sll_family = AF_PACKET;
        bound.sll_protocol = htons(ETH_P_ARP);
        bound.sll_ifindex = static_cast<int>(ifindex);
        if (bind(channel.fd.get(), reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0) {
            channel.boundIfindex = 0;
            return -1;
        }
        channel.boundIfindex = ifindex;
    }
    // Replies that came after an earlier probe gave up answer nothing now.
    std::uint8_t discard[64];
    while (recv(channel.fd.get(), discard, sizeof discard, MSG_DONTWAIT | MSG_TRUNC) >= 0) {
    }
    return channel.fd.get();
}

// Waits until `fd` is readable or `until`; false on time-out, and at once
// when the calling worker is asked to stop (its dialog is going away).
bool WaitReadable(int fd, Clock::time_point until)
{
    for (;;) {
        const auto left = until - Clock::now();
        if (left <= Clock::duration::zero())
            return false;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec timeout{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        pollfd entries[2] = {{fd, POLLIN, 0}, {afx::StopWaitHandle(), POLLIN, 0}};
        const int ready = ppoll(entries, 2, &timeout, nullptr);
        if (ready > 0)
            return entries[1].revents == 0 && entries[0].revents != 0;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

// --- privileged path ---------------------------------------------------

bool SendRequest(const Probe& probe)
{
    const auto frame = orvane::arp::BuildRequest(probe.ourMac, probe.ourIp, probe.destination);
    sockaddr_ll to{};
    to.sll_family = AF_PACKET;
    to.sll_protocol = htons(ETH_P_ARP);
    to.sll_ifindex = static_cast<int>(probe.ifindex);
    to.sll_halen = 6;
    std::memset(to.sll_addr, 0xff, 6);
    return sendto(probe.packet, frame.data(), frame.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                  sizeof to) == static_cast<ssize_t>(frame.size());
}

// Reads every queued frame; true once one of them answers the probe.
bool TakeReplies(Probe& probe)
{
    std::uint8_t frame[128];
    for (;;) {
        sockaddr_ll from{};
        socklen_t fromLength = sizeof from;
        const ssize_t received = recvfrom(probe.packet, frame, sizeof frame, MSG_DONTWAIT | MSG_TRUNC,
                                          reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (received < 0)
            return false;
        if (from.sll_pkttype == PACKET_OUTGOING)
            continue;
        const std::size_t length = std::min<std::size_t>(static_cast<std::size_t>(received), sizeof frame);
        if (auto mac = orvane::arp::ParseReply(frame, length, probe.destination, probe.ourIp)) {
            probe.answer = *mac;
            return true;
        }
    }
}

void AskTheSegment(Probe& probe)
{
    if (!SendRequest(probe))
        return;
    const Clock::time_point resendAt = probe.start + kResendAfter;
    bool resent = false;
    for (;;) {
        const Clock::time_point until = resent ? probe.deadline : std::min(resendAt, probe.deadline);
        if (WaitReadable(probe.packet, until)) {
            if (TakeReplies(probe))
                return;
            continue;
        }
        if (Clock::now() >= probe.deadline || afx::StopRequested())
            return;
        if (!resent) {
            resent = true;
            SendRequest(probe);
        }
    }
}

// --- unprivileged path -------------------------------------------------

bool SendNeighbourDump(Probe& probe, std::uint8_t* buffer, std::size_t size)
{
    ++probe.dumpSeq;
    const std::size_t length =
        orvane::nl::BuildNeighbourDumpRequest(buffer, size, probe.dumpSeq, probe.ifindex);
    return length != 0 && mnl_socket_sendto(probe.netlink.socket, buffer, length) >= 0;
}

bool Answers(const Probe& probe, const orvane::nl::NeighbourEntry& entry)
{
    return entry.hasDst && entry.dst == probe.destination && entry.ifindex == probe.ifindex &&
           orvane::nl::HasUsableHardwareAddress(entry);
}

// Reads what the kernel sent (dump replies and events alike); true once an
// entry answers the probe. `dumpDone` turns true at the end of the dump.
bool TakeNeighbours(Probe& probe, std::uint8_t* buffer, std::size_t size, bool& dumpDone)
{
    std::vector<orvane::nl::NeighbourEntry> entries;
    for (;;) {
        const ssize_t received = recv(mnl_socket_get_fd(probe.netlink.socket), buffer, size, MSG_DONTWAIT);
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
        const auto result =
            orvane::nl::ReadNeighbourChunk(buffer, static_cast<std::size_t>(received), 0, 0, entries);
        for (const auto& entry : entries) {
            if (Answers(probe, entry)) {
                std::copy_n(entry.lladdr.begin(), 6, probe.answer.emplace().begin());
                return true;
            }
        }
        if (result != orvane::nl::ChunkResult::More)
            dumpDone = true;
    }
}

void PromptKernel(const Probe& probe)
{
    Fd udp(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
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

void AskTheKernel(Probe& probe)
{
    probe.netlink.socket = mnl_socket_open2(NETLINK_ROUTE, SOCK_CLOEXEC);
    if (probe.netlink.socket == nullptr)
        return;
    // Subscribe before the dump, so that no change falls between the two.
    if (mnl_socket_bind(probe.netlink.socket, RTMGRP_NEIGH, MNL_SOCKET_AUTOPID) < 0)
        return;
    int on = 1;
    mnl_socket_setsockopt(probe.netlink.socket, NETLINK_GET_STRICT_CHK, &on, sizeof on);

    std::vector<std::uint8_t> buffer(orvane::nl::kDumpChunkSize);
    if (!SendNeighbourDump(probe, buffer.data(), buffer.size()))
        return;
    const int fd = mnl_socket_get_fd(probe.netlink.socket);
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

}  // namespace

DWORD SendARP(IPAddr destination, IPAddr source, void* macAddress, ULONG* length)
{
    Probe probe;
    probe.start = Clock::now();
    probe.deadline = probe.start + kAnswerWait;
    probe.destination = destination;
    if (macAddress == nullptr || length == nullptr || *length == 0)
        return ERROR_INVALID_PARAMETER;
    if (afx::StopRequested())
        return ERROR_CANCELLED;

    switch (ChooseAdapter(probe, source)) {
        case Choice::OwnAddress:
            break;
        case Choice::NoAdapter:
            return ERROR_NOT_FOUND;
        case Choice::NoHost:
            return ERROR_BAD_NET_NAME;
        case Choice::Found:
            // Whether this thread may ask the segment itself is settled when its
            // packet socket is first tried (see PacketChannel).
            probe.packet = PacketSocketFor(probe.ifindex);
            if (probe.packet >= 0)
                AskTheSegment(probe);
            else if (!t_channel.fd)
                AskTheKernel(probe);
            break;
    }
    if (!probe.answer)
        return ERROR_BAD_NET_NAME;
    std::memcpy(macAddress, probe.answer->data(), std::min<std::size_t>(*length, probe.answer->size()));
    *length = static_cast<ULONG>(probe.answer->size());
    return NO_ERROR;
}
