#include "net/arp_scan.h"

#include "platform/net/winsock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

namespace {

using namespace std::chrono_literals;
using orvane::arp::HardwareAddress;

std::uint32_t Host(const char* dotted)
{
    return ntohl(inet_addr(dotted));
}

// A segment on a fake clock: each host answers the tries it is told to,
// after its delay; every request sent is logged with its time.
struct FakeSegment {
    struct Replier {
        std::chrono::milliseconds delay{1};
        std::set<unsigned> answersTry{1, 2};  // which tries it answers
        unsigned copies = 1;                  // duplicates per answer
    };
    struct Reply {
        ScanTime at;
        IPAddr ip;
        HardwareAddress mac;
    };

    ScanTime now{};
    std::map<IPAddr, Replier> hosts;
    std::map<IPAddr, unsigned> asked;
    std::vector<std::pair<ScanTime, IPAddr>> sent;
    std::vector<Reply> queue;  // in flight
    std::size_t maxWaiting = 0;

    static HardwareAddress MacOf(IPAddr ip)
    {
        return {0x02, 0x4f, 0x52, 0, 0, static_cast<std::uint8_t>(ntohl(ip))};
    }
    void Send(IPAddr ip)
    {
        sent.emplace_back(now, ip);
        const unsigned n = ++asked[ip];
        const auto host = hosts.find(ip);
        if (host != hosts.end() && host->second.answersTry.count(n))
            for (unsigned c = 0; c < host->second.copies; ++c)
                queue.push_back({now + host->second.delay, ip, MacOf(ip)});
    }
    template <class Take> void Receive(ScanTime until, Take&& take)
    {
        auto first = std::min_element(queue.begin(), queue.end(),
                                      [](const Reply& a, const Reply& b) { return a.at < b.at; });
        if (first == queue.end() || first->at > until) {
            now = until;
            return;
        }
        now = std::max(now, first->at);
        const Reply reply = *first;
        queue.erase(first);
        take(reply.ip, reply.mac, reply.at);
    }
};

struct Outcome {
    std::vector<IPAddr> found;
    ScanTime end;
};

Outcome RunScan(FakeSegment& segment, const char* first, std::uint32_t count, const ArpScanPace& pace,
                IPAddr except = 0, int stopAfterFound = -1)
{
    CArpScanPlan plan(Host(first), count, except, pace, segment.now);
    Outcome outcome;
    RunArpScan(
        plan, [&] { return segment.now; }, [&](IPAddr ip) { segment.Send(ip); },
        [&](ScanTime until, auto&& take) { segment.Receive(until, take); },
        [&](IPAddr ip, const HardwareAddress& mac) {
            EXPECT_EQ(mac, FakeSegment::MacOf(ip));
            outcome.found.push_back(ip);
        },
        [&] { return stopAfterFound >= 0 && static_cast<int>(outcome.found.size()) >= stopAfterFound; });
    outcome.end = segment.now;
    return outcome;
}

// A /24 at the default pace, with a host that answers only the second try,
// one that answers after every wait, one that answers twice, and replies nobody asked
// for: exactly the hosts whose reply came in time, once each.
TEST(ArpScan, ListsTheHostsThatAnsweredInTimeOnce)
{
    FakeSegment segment;
    segment.hosts[inet_addr("10.0.0.5")] = {};
    segment.hosts[inet_addr("10.0.0.9")] = {1ms, {2}, 1};
    segment.hosts[inet_addr("10.0.0.10")] = {1200ms, {1, 2}, 1};
    segment.hosts[inet_addr("10.0.0.200")] = {3ms, {1, 2}, 3};
    // Own address: answered before the scan, never asked.
    const Outcome outcome = RunScan(segment, "10.0.0.1", 254, ArpScanPace{}, inet_addr("10.0.0.7"));
    const std::vector<IPAddr> expected = {inet_addr("10.0.0.5"), inet_addr("10.0.0.200"),
                                          inet_addr("10.0.0.9")};
    EXPECT_EQ(outcome.found, expected);
    EXPECT_EQ(segment.asked.count(inet_addr("10.0.0.7")), 0u);

    // Two tries for the silent, one for those who answered the first.
    EXPECT_EQ(segment.asked[inet_addr("10.0.0.5")], 1u);
    EXPECT_EQ(segment.asked[inet_addr("10.0.0.9")], 2u);
    EXPECT_EQ(segment.asked[inet_addr("10.0.0.10")], 2u);
    EXPECT_EQ(segment.asked[inet_addr("10.0.0.100")], 2u);
    EXPECT_EQ(segment.sent.size(), 2u + 2u * 251u);

    // Never more than the pace allows in any 250 ms, and the end is the end
    // of the last try's wait, not later.
    for (std::size_t i = 0; i < segment.sent.size(); ++i) {
        std::size_t j = i;
        while (j < segment.sent.size() && segment.sent[j].first < segment.sent[i].first + 250ms)
            ++j;
        ASSERT_LE(j - i, 126u) << "from request " << i;
    }
    EXPECT_EQ(outcome.end, segment.sent.back().first + 500ms);
    // Second tries overlap first ones: the first retry goes out before the
    // last fresh address is asked.
    const auto firstRetry = std::find_if(segment.sent.begin(), segment.sent.end(),
                                         [&](const auto& s) { return s.second == inet_addr("10.0.0.1"); });
    const auto lastFresh = std::find_if(segment.sent.begin(), segment.sent.end(),
                                        [&](const auto& s) { return s.second == inet_addr("10.0.0.254"); });
    EXPECT_LT(std::find_if(firstRetry + 1, segment.sent.end(),
                           [&](const auto& s) { return s.second == inet_addr("10.0.0.1"); }),
              lastFresh);
}

// Everyone answers: the scan ends with the last answer; knobs are obeyed.
TEST(ArpScan, EndsWithTheLastAnswerAndHonoursTheKnobs)
{
    FakeSegment segment;
    for (int i = 1; i <= 6; ++i)
        segment.hosts[htonl(Host("192.168.1.0") + i)] = {std::chrono::milliseconds(i), {1}, 1};
    ArpScanPace pace;
    pace.rate = 10;
    pace.timeout = 50ms;
    pace.tries = 3;
    const Outcome outcome = RunScan(segment, "192.168.1.1", 6, pace);
    EXPECT_EQ(outcome.found.size(), 6u);
    EXPECT_EQ(outcome.end, segment.sent.back().first + 6ms);
    EXPECT_EQ(segment.sent[1].first - segment.sent[0].first, 100ms);

    FakeSegment silent;
    const Outcome none = RunScan(silent, "192.168.1.1", 2, pace);
    EXPECT_TRUE(none.found.empty());
    EXPECT_EQ(silent.sent.size(), 6u);
    EXPECT_EQ(none.end, silent.sent.back().first + 50ms);
}

// The window bounds the addresses waiting at once (the kernel's neighbour
// table); a stop sends nothing more.
TEST(ArpScan, KeepsToTheWindowAndStops)
{
    FakeSegment segment;
    ArpScanPace pace;
    pace.window = 8;
    pace.tries = 1;
    CArpScanPlan plan(Host("10.1.0.1"), 100, 0, pace, segment.now);
    std::size_t mostWaiting = 0;
    std::map<IPAddr, ScanTime> waiting;
    RunArpScan(
        plan, [&] { return segment.now; },
        [&](IPAddr ip) {
            for (auto it = waiting.begin(); it != waiting.end();)
                it = it->second <= segment.now ? waiting.erase(it) : std::next(it);
            waiting[ip] = segment.now + pace.timeout;
            mostWaiting = std::max(mostWaiting, waiting.size());
            segment.Send(ip);
        },
        [&](ScanTime until, auto&& take) { segment.Receive(until, take); },
        [](IPAddr, const HardwareAddress&) {}, [] { return false; });
    EXPECT_EQ(mostWaiting, 8u);
    EXPECT_EQ(segment.sent.size(), 100u);

    FakeSegment stopped;
    for (int i = 1; i <= 50; ++i)
        stopped.hosts[htonl(Host("10.1.0.0") + i)] = {};
    const Outcome outcome = RunScan(stopped, "10.1.0.1", 50, ArpScanPace{}, 0, 3);
    EXPECT_EQ(outcome.found.size(), 3u);
    EXPECT_LT(stopped.sent.size(), 50u);
}

}  // namespace
