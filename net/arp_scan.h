// The parallel subnet scan of the command line: many addresses asked at
// once, paced, each given its tries and its wait, ending as soon as every
// address has answered or used its tries. Pure: the clock, the sender and
// the source of replies are parameters, so a whole scan runs with fakes.
#pragma once

#include "platform/net/arp_frame.h"
#include "platform/net/iphlpapi.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

using ScanTime = std::chrono::steady_clock::time_point;

// arp-scan's defaults: 500 requests a second (256 kbit/s of 64-byte
// frames), 500 ms for a reply, a second try for the silent.
struct ArpScanPace {
    unsigned rate = 500;                                // requests a second
    std::chrono::milliseconds timeout{500};             // wait for a reply per try
    unsigned tries = 2;                                 // requests per address at most
    std::size_t window = static_cast<std::size_t>(-1);  // addresses waiting at once
};

// Who is asked when, and which replies count.
class CArpScanPlan {
public:
    // Asks `count` addresses from `first` (host byte order) on, except
    // `except` (network byte order: the adapter's own, answered already).
    CArpScanPlan(std::uint32_t first, std::uint32_t count, IPAddr except, const ArpScanPace& pace,
                 ScanTime start);

    // The addresses (network byte order) to send a request to now: second
    // tries whose wait ran out come before fresh addresses, at the pace, and
    // never more waiting than the window. Gives up on addresses whose last
    // wait has run out.
    std::vector<IPAddr> Due(ScanTime now);

    // Whether a reply from `ip` that arrived at `arrival` counts: the address
    // is still waiting, was asked, and the reply came within its wait. The
    // first that counts settles the address.
    bool Accept(IPAddr ip, ScanTime arrival);

    // Every address has answered or used its tries.
    bool Finished() const { return m_fresh == m_count && m_outstanding == 0; }

    // When Due has something new to do: the next send or the next wait's end.
    ScanTime NextEvent() const;

    std::uint32_t Asked() const { return m_fresh; }
    std::uint32_t Count() const { return m_count; }

private:
    enum : std::uint8_t { Idle, Waiting, Answered, Silent };
    struct Address {
        std::uint8_t state = Idle;
        std::uint8_t tries = 0;
        ScanTime firstSent;
        ScanTime deadline;
    };
    struct Pending {
        std::uint32_t offset;
        ScanTime deadline;
    };

    void Expire(ScanTime now);
    bool CanSend() const;
    void Send(std::uint32_t offset, ScanTime now, std::vector<IPAddr>& out);

    std::uint32_t m_first;
    std::uint32_t m_count;
    ArpScanPace m_pace;
    std::chrono::steady_clock::duration m_interval;
    std::vector<Address> m_addresses;
    std::uint32_t m_fresh = 0;            // addresses before it were asked at least once
    std::deque<Pending> m_waiting;        // in the order sent, so in deadline order
    std::deque<std::uint32_t> m_retries;  // silent after a try, tries left
    std::size_t m_outstanding = 0;        // Waiting, or queued for a retry
    ScanTime m_nextSlot;
};

// Runs a whole scan: `now()` reads the clock, `send(ip)` puts one request
// on the wire, `receive(until, take)` waits until `until` or replies came
// and calls `take(ip, mac, arrival)` for each, `found(ip, mac)` hears each
// host that counts, and once `stopRequested()` is true nothing more is sent.
template <class Now, class Send, class Receive, class Found, class StopRequested>
void RunArpScan(CArpScanPlan& plan, Now&& now, Send&& send, Receive&& receive, Found&& found,
                StopRequested&& stopRequested)
{
    while (!stopRequested()) {
        for (const IPAddr ip : plan.Due(now()))
            send(ip);
        if (plan.Finished())
            return;
        receive(plan.NextEvent(), [&](IPAddr ip, const orvane::arp::HardwareAddress& mac, ScanTime arrival) {
            if (plan.Accept(ip, arrival) && !stopRequested())
                found(ip, mac);
        });
    }
}
