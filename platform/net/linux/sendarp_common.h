// What the two ways of SendARP over Linux share: one probe's state, the
// wait, and the two ways themselves (sendarp_packet.cpp asks the segment
// with a packet socket, sendarp_kernel.cpp lets the kernel ask).
#pragma once

#include "platform/net/arp_frame.h"
#include "platform/net/iphlpapi.h"
#include "platform/net/linux/handles.h"

#include <chrono>
#include <cstdint>
#include <optional>

namespace orvane::arp {

using Clock = std::chrono::steady_clock;

// How long one address may keep us waiting. A live host on the segment
// answers in well under a millisecond, so the wait is almost entirely what
// a *silent* address costs, and the sweep probes one address at a time:
// a /24 costs about 254 x this when nobody is home (25 s at 100 ms, 62 s
// at 250 ms). 100 ms still leaves ample room for a slow or busy host.
constexpr auto kAnswerWait = std::chrono::milliseconds(100);

// Everything one SendARP call needs, in one place.
struct Probe {
    IPAddr destination = 0;
    Clock::time_point start;
    Clock::time_point deadline;

    // The adapter whose subnet holds the destination.
    std::uint32_t ifindex = 0;
    HardwareAddress ourMac{};
    IPAddr ourIp = 0;

    int packet = -1;                   // privileged path: the thread's packet socket
    linux_handles::MnlSocket netlink;  // unprivileged path
    std::uint32_t dumpSeq = 0;

    std::optional<HardwareAddress> answer;
};

// Waits until `fd` is readable or `until`; false on time-out, and at once
// when the calling worker is asked to stop (its dialog is going away).
bool WaitReadable(int fd, Clock::time_point until);

// The calling thread's packet socket bound to `ifindex`, with nothing
// stale queued; -1 when this process may not have one or it cannot be
// bound (then the kernel's way is taken).
int PacketSocketFor(std::uint32_t ifindex);

// Asks the segment through `probe.packet`; sets `probe.answer` on a reply.
void AskTheSegment(Probe& probe);

// Lets the kernel resolve the address and watches its neighbour table;
// sets `probe.answer` once the kernel holds an entry for it.
void AskTheKernel(Probe& probe);

}  // namespace orvane::arp
