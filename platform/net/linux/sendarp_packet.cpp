// The privileged way: ARP requests on a packet socket, and the replies
// read off the link, judged as the kernel's own ARP would judge them.
#include "platform/base/afxstop.h"
#include "platform/net/linux/linux_facts.h"
#include "platform/net/linux/sendarp_common.h"

#include <arpa/inet.h>
#include <linux/filter.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <optional>

namespace orvane::arp {
namespace {

using linux_handles::Fd;

// A single lost request or reply should not make a live host look dead:
// the privileged path asks once more halfway through the wait.
constexpr auto kResendAfter = std::chrono::milliseconds(50);

// An AF_PACKET socket, if this process may have one. CAP_NET_RAW is made
// effective only for the socket() call (and put back as it was), so a
// binary given the capability does not run with it raised. Protocol 0
// until bound: the socket sees no frames of other interfaces meanwhile.
Fd OpenPacketSocket()
{
    const linux_handles::Caps caps(cap_get_proc());
    const cap_value_t netRaw = CAP_NET_RAW;
    cap_flag_value_t permitted = CAP_CLEAR;
    cap_flag_value_t effective = CAP_CLEAR;
    bool raised = false;
    if (caps) {
        cap_get_flag(caps.get(), netRaw, CAP_PERMITTED, &permitted);
        cap_get_flag(caps.get(), netRaw, CAP_EFFECTIVE, &effective);
        if (permitted == CAP_SET && effective != CAP_SET) {
            cap_set_flag(caps.get(), CAP_EFFECTIVE, 1, &netRaw, CAP_SET);
            raised = cap_set_proc(caps.get()) == 0;
        }
    }
    Fd fd(socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0));
    int error = errno;
    if (raised) {
        cap_set_flag(caps.get(), CAP_EFFECTIVE, 1, &netRaw, CAP_CLEAR);
        if (cap_set_proc(caps.get()) != 0) {
            // The capability stays effective: at least hold nothing it
            // bought, and take the path that needs none.
            fd = Fd{};
            error = EPERM;
        }
    }
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
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kEtherTypeArp, 0, 3),
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, kEthernetHeaderLength + 6),  // opcode
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kOpReply, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0xffff),
        BPF_STMT(BPF_RET | BPF_K, 0),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(code)), code};
    return setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0;
}

// Each frame comes with its VLAN tag, if any, in the ancillary data: the
// kernel takes the tag out of the frame's bytes before we see them.
bool AskForVlanTags(int fd)
{
    const int on = 1;
    return setsockopt(fd, SOL_PACKET, PACKET_AUXDATA, &on, sizeof on) == 0;
}

// Each frame also carries the time the kernel received it: a reply is judged
// by when it arrived, not by when this thread got round to reading it.
bool AskForArrivalTimes(int fd)
{
    const int on = 1;
    return setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) == 0;
}

// The frame's ancillary item of this level and type, copied out, if the
// kernel sent one.
template <typename T> std::optional<T> Ancillary(const msghdr& message, int level, int type)
{
    for (const cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr;
         c = CMSG_NXTHDR(const_cast<msghdr*>(&message), const_cast<cmsghdr*>(c))) {
        if (c->cmsg_level == level && c->cmsg_type == type && c->cmsg_len >= CMSG_LEN(sizeof(T))) {
            T item;
            std::memcpy(&item, CMSG_DATA(c), sizeof item);
            return item;
        }
    }
    return std::nullopt;
}

// When the frame reached the machine, if the kernel said, on our steady
// clock: the kernel stamps by the wall clock, so only the frame's age (now
// minus the stamp) is taken from it. A step of the wall clock during the
// probe then moves nothing; only one in the moment between arrival and
// this read could.
std::optional<Clock::time_point> ArrivalTime(const msghdr& message)
{
    const auto at = Ancillary<timespec>(message, SOL_SOCKET, SCM_TIMESTAMPNS);
    if (!at)
        return std::nullopt;
    const auto stamped =
        std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(at->tv_sec) + std::chrono::nanoseconds(at->tv_nsec)));
    const auto age = std::chrono::system_clock::now() - stamped;
    return Clock::now() - std::chrono::duration_cast<Clock::duration>(std::max(age, decltype(age)::zero()));
}

int BindToInterface(int fd, std::uint32_t ifindex)
{
    sockaddr_ll bound{};
    bound.sll_family = AF_PACKET;
    bound.sll_protocol = htons(ETH_P_ARP);
    bound.sll_ifindex = static_cast<int>(ifindex);
    return bind(fd, reinterpret_cast<const sockaddr*>(&bound), sizeof bound);
}

bool SendRequest(const Probe& probe)
{
    const auto frame = BuildRequest(probe.ourMac, probe.ourIp, probe.destination);
    sockaddr_ll to{};
    to.sll_family = AF_PACKET;
    to.sll_protocol = htons(ETH_P_ARP);
    to.sll_ifindex = static_cast<int>(probe.ifindex);
    to.sll_halen = 6;
    std::memset(to.sll_addr, 0xff, 6);
    return sendto(probe.packet, frame.data(), frame.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                  sizeof to) == static_cast<ssize_t>(frame.size());
}

// True for a frame the kernel's own ARP would not take: one for another
// station (seen on a bridged or promiscuous link), our own outgoing ones,
// or one tagged for a VLAN (the untagged link is ours; a priority tag with
// VLAN 0 is untagged to the kernel too).
bool NotForOurLink(const sockaddr_ll& from, const msghdr& message)
{
    if (from.sll_pkttype == PACKET_OUTGOING || from.sll_pkttype == PACKET_OTHERHOST)
        return true;
    const auto aux = Ancillary<tpacket_auxdata>(message, SOL_PACKET, PACKET_AUXDATA);
    return aux && (aux->tp_status & TP_STATUS_VLAN_VALID) && (aux->tp_vlan_tci & 0x0fff) != 0;
}

// Reads every queued frame; true once one of them answers the probe. A
// reply that arrived after `until` is too late, however soon it is read.
bool TakeReplies(Probe& probe, Clock::time_point until)
{
    std::uint8_t frame[128];
    alignas(cmsghdr) std::uint8_t control[CMSG_SPACE(sizeof(tpacket_auxdata)) + CMSG_SPACE(sizeof(timespec))];
    for (;;) {
        sockaddr_ll from{};
        iovec data{frame, sizeof frame};
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t received = recvmsg(probe.packet, &message, MSG_DONTWAIT | MSG_TRUNC);
        if (received < 0)
            return false;
        if (NotForOurLink(from, message))
            continue;
        if (const auto arrived = ArrivalTime(message); arrived && *arrived > until)
            continue;
        const std::size_t length = std::min<std::size_t>(static_cast<std::size_t>(received), sizeof frame);
        if (auto mac = ParseReply(frame, length, probe.destination, probe.ourIp, probe.ourMac)) {
            probe.answer = *mac;
            return true;
        }
    }
}

}  // namespace

int (*g_bindPacketSocket)(int fd, std::uint32_t ifindex) = BindToInterface;

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
        if (channel.fd && !(KeepOnlyArpReplies(channel.fd.get()) && AskForVlanTags(channel.fd.get()) &&
                            AskForArrivalTimes(channel.fd.get())))
            channel.fd = Fd{};
    }
    if (!channel.fd)
        return -1;
    if (channel.boundIfindex != ifindex) {
        if (g_bindPacketSocket(channel.fd.get(), ifindex) != 0) {
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

void AskTheSegment(Probe& probe)
{
    if (!SendRequest(probe))
        return;
    const Clock::time_point resendAt = probe.start + kResendAfter;
    bool resent = false;
    for (;;) {
        const Clock::time_point until = resent ? probe.deadline : std::min(resendAt, probe.deadline);
        if (WaitReadable(probe.packet, until)) {
            if (TakeReplies(probe, probe.deadline))
                return;
            continue;
        }
        if (afx::StopRequested())
            return;
        // A busy machine may read late what came in time.
        if (Clock::now() >= probe.deadline) {
            TakeReplies(probe, probe.deadline);
            return;
        }
        if (!resent) {
            resent = true;
            SendRequest(probe);
        }
    }
}

}  // namespace orvane::arp
