// SendARP on a lab segment: kernel test hosts and the fake ARP responder
// (topology in tests/net/CMakeLists.txt), by the privileged path in this
// process (root) and by the unprivileged one as an ordinary user through
// the arp-probe program.
#include "platform/base/afxstop.h"
#include "platform/net/arp_frame.h"
#include "platform/net/iphlpapi.h"
#include "platform/net/linux/handles.h"
#include "platform/net/linux/linux_facts.h"
#include "platform/net/linux/netlink_parse.h"
#include "tests/support/lab.h"
#include "tools/labguard.h"

#include <gtest/gtest.h>
#include <libmnl/libmnl.h>
#include <linux/if_ether.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netpacket/packet.h>
#include <poll.h>
#include <sys/capability.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#ifndef ORVANE_ARP_PROBE
#error "ORVANE_ARP_PROBE must name the arp-probe program"
#endif

namespace {

using namespace labtest;
using Clock = std::chrono::steady_clock;

// Addresses of the lab segment (see the registration's topology).
constexpr const char* kOwn = "192.168.1.23";
constexpr const char* kSilent = "192.168.1.50";
constexpr const char* kFake = "192.168.1.100";          // answers at once
constexpr const char* kLate = "192.168.1.101";          // answers after 150 ms
constexpr const char* kShortLength = "192.168.1.102";   // hardware length 4
constexpr const char* kTwoMacs = "192.168.1.103";       // answers twice, two MACs
constexpr const char* kClaimed = "192.168.1.104";       // only unsolicited claims
constexpr const char* kTagged = "192.168.1.105";        // answers tagged for VLAN 5
constexpr const char* kForOthers = "192.168.1.106";     // answers another station
constexpr const char* kGroupMac = "192.168.1.107";      // static entry, group MAC
constexpr const char* kZeroMac = "192.168.1.108";       // static entry, all zeros
constexpr const char* kThaZero = "192.168.1.140";       // answer's target MAC zero
constexpr const char* kThaBroadcast = "192.168.1.141";  // ... broadcast
constexpr const char* kThaOther = "192.168.1.142";      // ... another station's
constexpr const char* kMarker = "192.168.1.250";        // asked last, to end a watch
constexpr const char* kForCapability = "192.168.1.130";

const std::map<std::string, std::string> kAnswers = {
    {"192.168.1.1", "02:4f:52:00:02:01"},
    {"192.168.1.2", "02:4f:52:00:02:02"},
    {"192.168.1.3", "02:4f:52:00:02:03"},
    {kFake, "02:4f:52:00:00:64"},
    {kTwoMacs, "02:4f:52:00:00:67"},  // the first of the two
    // To us and for our address: the target hardware field does not count.
    {kThaZero, "02:4f:52:00:00:8c"},
    {kThaBroadcast, "02:4f:52:00:00:8d"},
    {kThaOther, "02:4f:52:00:00:8e"},
};

struct Outcome {
    DWORD result = 0;
    std::string mac;
    ULONG length = 0;
};

Outcome Resolve(const std::string& address)
{
    BYTE mac[6];
    std::memset(mac, 0xEE, sizeof mac);
    ULONG length = sizeof mac;
    Outcome outcome;
    outcome.result = SendARP(inet_addr(address.c_str()), 0, mac, &length);
    outcome.mac = outcome.result == NO_ERROR ? MacText(mac, 6) : "-";
    outcome.length = length;
    if (outcome.result != NO_ERROR) {
        EXPECT_EQ(MacText(mac, 6), "ee:ee:ee:ee:ee:ee") << address << ": buffer written without an answer";
    }
    return outcome;
}

// Lines of the arp-probe program: ADDRESS RESULT MAC LENGTH MICROSECONDS.
struct ProbeRun {
    std::vector<std::pair<std::string, Outcome>> lines;
    int netRawEffective = -1;
};

ProbeRun ParseProbe(const Captured& captured)
{
    ProbeRun run;
    std::istringstream in(captured.out);
    for (std::string line; std::getline(in, line);) {
        const auto words = Words(line);
        if (words.size() == 2 && words[0] == "net_raw_effective")
            run.netRawEffective = std::stoi(words[1]);
        else if (words.size() == 5)
            run.lines.push_back({words[0],
                                 {static_cast<DWORD>(std::stoul(words[1])), words[2],
                                  static_cast<ULONG>(std::stoul(words[3]))}});
    }
    return run;
}

// The kernel's own neighbour entry for `address` on the client interface.
std::optional<orvane::nl::NeighbourEntry> KernelNeighbour(const std::string& address)
{
    const orvane::linux_handles::MnlSocket socket(mnl_socket_open(NETLINK_ROUTE));
    if (!socket)
        return std::nullopt;
    std::optional<orvane::nl::NeighbourEntry> found;
    std::vector<std::uint8_t> buffer(orvane::nl::kDumpChunkSize);
    const std::uint32_t ifindex = if_nametoindex(LabEnv("ORVANE_LAB_CLIENT_IF").c_str());
    const std::size_t length =
        orvane::nl::BuildNeighbourDumpRequest(buffer.data(), buffer.size(), 1, ifindex);
    if (mnl_socket_bind(socket.get(), 0, MNL_SOCKET_AUTOPID) == 0 &&
        mnl_socket_sendto(socket.get(), buffer.data(), length) > 0) {
        std::vector<orvane::nl::NeighbourEntry> entries;
        for (;;) {
            const ssize_t n = mnl_socket_recvfrom(socket.get(), buffer.data(), buffer.size());
            if (n <= 0 || orvane::nl::ReadNeighbourChunk(buffer.data(), static_cast<std::size_t>(n), 1, 0,
                                                         entries) != orvane::nl::ChunkResult::More)
                break;
        }
        for (const auto& entry : entries)
            if (entry.hasDst && entry.dst == inet_addr(address.c_str()))
                found = entry;
    }
    return found;
}

// ARP requests for one address, as they cross the lab's bridge.
struct SeenRequests {
    std::vector<std::vector<std::uint8_t>> frames;
};

// Asks the segment for kMarker straight from the client's adapter: frames
// leave it in order, so once the marker crosses the bridge, every request
// sent before it has too.
bool SendMarkerRequest()
{
    const int fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    orvane::arp::HardwareAddress ours{};
    unsigned v[6];
    std::sscanf(LabEnv("ORVANE_LAB_CLIENT_MAC").c_str(), "%x:%x:%x:%x:%x:%x", &v[0], &v[1], &v[2], &v[3],
                &v[4], &v[5]);
    std::copy(std::begin(v), std::end(v), ours.begin());
    const auto frame = orvane::arp::BuildRequest(ours, inet_addr(kOwn), inet_addr(kMarker));
    sockaddr_ll to{};
    to.sll_family = AF_PACKET;
    to.sll_protocol = htons(ETH_P_ARP);
    to.sll_ifindex = static_cast<int>(if_nametoindex(LabEnv("ORVANE_LAB_CLIENT_IF").c_str()));
    to.sll_halen = 6;
    std::memset(to.sll_addr, 0xff, 6);
    const bool sent = sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                             sizeof to) == static_cast<ssize_t>(frame.size());
    close(fd);
    return sent;
}

// Runs `action` while a thread inside the bridge namespace listens on br0
// for requests that ask for `target`, then sends the marker and listens
// until it has crossed. `seen`, when given, counts the requests as they come.
SeenRequests WatchRequests(const std::string& target, const std::function<void()>& action,
                           std::atomic<int>* seen = nullptr)
{
    SeenRequests result;
    std::atomic<int> state{0};  // 0 starting, 1 listening, -1 failed
    std::atomic<bool> markerSeen{false};
    std::thread listener([&] {
        // Only this thread moves; it sends nothing.
        int fd = -1;
        if (EnterNetNamespace(LabEnv("ORVANE_LAB_BRIDGE")))
            fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, htons(ETH_P_ARP));
        sockaddr_ll on{};
        on.sll_family = AF_PACKET;
        on.sll_protocol = htons(ETH_P_ARP);
        on.sll_ifindex = static_cast<int>(if_nametoindex("br0"));
        if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&on), sizeof on) != 0) {
            state = -1;
            return;
        }
        state = 1;
        const IPAddr wanted = inet_addr(target.c_str());
        const IPAddr marker = inet_addr(kMarker);
        while (!markerSeen) {
            pollfd entry{fd, POLLIN, 0};
            if (poll(&entry, 1, 5) <= 0)
                continue;
            std::uint8_t frame[128];
            const ssize_t n = recv(fd, frame, sizeof frame, 0);
            IPAddr asked = 0;
            if (n >= 42 && frame[21] == orvane::arp::kOpRequest) {
                std::memcpy(&asked, frame + 38, 4);
                if (asked == wanted) {
                    result.frames.emplace_back(frame, frame + n);
                    if (seen != nullptr)
                        ++*seen;
                }
                if (asked == marker)
                    markerSeen = true;
            }
        }
        close(fd);
    });
    while (state == 0)
        std::this_thread::yield();
    if (state == 1) {
        action();
        EXPECT_TRUE(SendMarkerRequest());
    } else {
        markerSeen = true;
    }
    listener.join();
    EXPECT_EQ(state, 1) << "could not listen on the lab bridge";
    return result;
}

// Kernel neighbour entries no station can own, as a static entry may hold.
void AddStaticNeighbour(const char* address, const char* mac)
{
    const std::string command = std::string("ip neigh replace ") + address + " lladdr " + mac + " dev '" +
                                LabEnv("ORVANE_LAB_CLIENT_IF") + "' nud permanent";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

class SendArpLab : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (LabEnv("ORVANE_LAB").empty() || geteuid() != 0)
            GTEST_SKIP() << "needs a lab: run through tools/orvane-lab as root";
        ASSERT_EQ(LabEnv("ORVANE_LAB_CLIENT_IP"), kOwn) << "registered with another topology";
    }
};

// --- privileged path (this process is root) ------------------------------

TEST_F(SendArpLab, PrivilegedAnswersWithTheRightMac)
{
    for (const auto& [address, mac] : kAnswers) {
        SCOPED_TRACE(address);
        const Outcome outcome = Resolve(address);
        EXPECT_EQ(outcome.result, NO_ERROR);
        EXPECT_EQ(outcome.mac, mac);
        EXPECT_EQ(outcome.length, 6u);
    }
    // Asked the segment itself: the kernel learnt nothing from it.
    const auto entry = KernelNeighbour(kFake);
    EXPECT_TRUE(!entry || !orvane::nl::HasUsableHardwareAddress(*entry));
}

TEST_F(SendArpLab, PrivilegedOwnAddressAnswersWithoutAsking)
{
    const SeenRequests seen = WatchRequests(kOwn, [] {
        const Outcome outcome = Resolve(kOwn);
        EXPECT_EQ(outcome.result, NO_ERROR);
        EXPECT_EQ(outcome.mac, LabEnv("ORVANE_LAB_CLIENT_MAC"));
    });
    EXPECT_TRUE(seen.frames.empty());
}

TEST_F(SendArpLab, PrivilegedSilentAndHostileNeverAnswer)
{
    // In this order, so that the late replies for kLate (at 150 and 200 ms
    // after its probe began) arrive while kSilent is being asked, and every
    // request brings unsolicited claims for kClaimed. kTagged's replies carry
    // a VLAN tag and kForOthers' are for another station: the kernel would
    // take neither.
    for (const char* address : {kLate, kSilent, kShortLength, kClaimed, kTagged, kForOthers, kSilent}) {
        SCOPED_TRACE(address);
        EXPECT_EQ(Resolve(address).result, ERROR_BAD_NET_NAME);
    }
    // Late replies still in flight do not confuse the next live answer.
    Resolve(kLate);
    const Outcome live = Resolve("192.168.1.2");
    EXPECT_EQ(live.result, NO_ERROR);
    EXPECT_EQ(live.mac, kAnswers.at("192.168.1.2"));
}

// A worker whose dialog is going away is asked to stop while it waits for
// an answer: the wait gives up, the call says so, and later calls neither
// start another wait nor send anything.
TEST_F(SendArpLab, PrivilegedStopRequestEndsTheWait)
{
    afx::StopToken token;
    std::atomic<int> requests{0};
    DWORD stopped = NO_ERROR, after = NO_ERROR;
    const char* live = "192.168.1.3";
    const SeenRequests seen = WatchRequests(
        kSilent,
        [&] {
            std::thread worker([&] {
                afx::StopToken::Install(&token);
                // Silent addresses until the stop comes, so that it comes while
                // a request is out whatever the machine's load.
                for (int i = 0; i < 10000 && (stopped = Resolve(kSilent).result) != ERROR_CANCELLED; ++i) {
                }
                BYTE mac[6];
                ULONG length = 6;
                after = SendARP(inet_addr(live), 0, mac, &length);
                afx::StopToken::Install(nullptr);
            });
            // The first request on the wire: the worker is in its wait.
            while (requests.load() == 0)
                std::this_thread::yield();
            token.Request();
            worker.join();
        },
        &requests);
    EXPECT_EQ(stopped, static_cast<DWORD>(ERROR_CANCELLED));
    EXPECT_EQ(after, static_cast<DWORD>(ERROR_CANCELLED)) << "a live host, but the worker was told to stop";
    EXPECT_FALSE(seen.frames.empty());
}

TEST_F(SendArpLab, PrivilegedAsksTwiceWithTheExactFrame)
{
    const char* nobody = "192.168.1.51";
    const SeenRequests seen = WatchRequests(nobody, [&] { EXPECT_NE(Resolve(nobody).result, NO_ERROR); });
    ASSERT_EQ(seen.frames.size(), 2u);
    orvane::arp::HardwareAddress ours;
    unsigned v[6];
    ASSERT_EQ(std::sscanf(LabEnv("ORVANE_LAB_CLIENT_MAC").c_str(), "%x:%x:%x:%x:%x:%x", &v[0], &v[1], &v[2],
                          &v[3], &v[4], &v[5]),
              6);
    std::copy(std::begin(v), std::end(v), ours.begin());
    const auto expected = orvane::arp::BuildRequest(ours, inet_addr(kOwn), inet_addr(nobody));
    for (const auto& frame : seen.frames)
        EXPECT_EQ(frame, std::vector<std::uint8_t>(expected.begin(), expected.end()));
}

TEST_F(SendArpLab, PrivilegedUnboundSocketFallsBackToTheKernel)
{
    // A packet socket this thread may open but not bind: the kernel's way
    // still answers, and the kernel's table shows that it was the one asked.
    const char* address = "192.168.1.120";
    Outcome outcome;
    std::thread fresh([&] {
        const auto bind = orvane::arp::g_bindPacketSocket;
        orvane::arp::g_bindPacketSocket = [](int, std::uint32_t) {
            errno = EADDRNOTAVAIL;
            return -1;
        };
        outcome = Resolve(address);
        orvane::arp::g_bindPacketSocket = bind;
    });
    fresh.join();
    EXPECT_EQ(outcome.result, NO_ERROR);
    EXPECT_EQ(outcome.mac, "02:4f:52:00:00:78");
    const auto entry = KernelNeighbour(address);
    ASSERT_TRUE(entry);
    EXPECT_TRUE(orvane::nl::HasUsableHardwareAddress(*entry));
}

TEST_F(SendArpLab, ShortBufferGetsThePrefixAndTheFullLength)
{
    BYTE mac[6];
    std::memset(mac, 0xEE, sizeof mac);
    ULONG length = 4;
    ASSERT_EQ(SendARP(inet_addr(kFake), 0, mac, &length), NO_ERROR);
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(MacText(mac, 6), "02:4f:52:00:ee:ee");
}

TEST_F(SendArpLab, BadRequestsFailWithoutAsking)
{
    BYTE mac[6] = {};
    ULONG length = 6;
    EXPECT_EQ(SendARP(inet_addr(kFake), 0, nullptr, &length), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SendARP(inet_addr(kFake), 0, mac, nullptr), ERROR_INVALID_PARAMETER);
    for (const char* address : {"10.9.9.9", "192.168.1.0", "192.168.1.255", "255.255.255.255", "127.0.0.1"}) {
        SCOPED_TRACE(address);
        const SeenRequests seen =
            WatchRequests(address, [&] { EXPECT_NE(Resolve(address).result, NO_ERROR); });
        EXPECT_TRUE(seen.frames.empty());
    }
    // A source address picks the adapter; one that is not ours picks none.
    length = 6;
    EXPECT_EQ(SendARP(inet_addr(kFake), inet_addr(kOwn), mac, &length), NO_ERROR);
    length = 6;
    EXPECT_NE(SendARP(inet_addr(kFake), inet_addr("192.168.1.99"), mac, &length), NO_ERROR);
}

// --- unprivileged path (an ordinary user) --------------------------------

TEST_F(SendArpLab, UnprivilegedAnswersAsOrdinaryUser)
{
    // Entries the kernel holds but no station can own: the packet path's rule.
    AddStaticNeighbour(kGroupMac, "01:00:5e:00:00:01");
    AddStaticNeighbour(kZeroMac, "00:00:00:00:00:00");
    const std::vector<std::string> asked = {
        "192.168.1.1", kFake,      kTwoMacs,  kOwn,     kSilent,  kLate,         kShortLength, kClaimed,
        kTagged,       kForOthers, kGroupMac, kZeroMac, kThaZero, kThaBroadcast, kThaOther,    "192.168.1.3"};
    std::vector<std::string> argv = {ORVANE_ARP_PROBE};
    argv.insert(argv.end(), asked.begin(), asked.end());
    const ProbeRun run = ParseProbe(RunCaptured(AsOrdinaryUser(argv)));
    ASSERT_EQ(run.lines.size(), asked.size());
    EXPECT_EQ(run.netRawEffective, 0);
    for (std::size_t i = 0; i < asked.size(); ++i) {
        const auto& [address, outcome] = run.lines[i];
        SCOPED_TRACE(address);
        ASSERT_EQ(address, asked[i]);
        if (address == kOwn) {
            EXPECT_EQ(outcome.result, NO_ERROR);
            EXPECT_EQ(outcome.mac, LabEnv("ORVANE_LAB_CLIENT_MAC"));
        } else if (kAnswers.count(address)) {
            EXPECT_EQ(outcome.result, NO_ERROR);
            EXPECT_EQ(outcome.mac, kAnswers.at(address));
            EXPECT_EQ(outcome.length, 6u);
        } else {
            EXPECT_EQ(outcome.result, ERROR_BAD_NET_NAME);
        }
    }
    // The kernel resolved it and keeps the answer: asked again, it comes
    // from the kernel's table and nothing is sent.
    const auto entry = KernelNeighbour(kFake);
    ASSERT_TRUE(entry);
    EXPECT_TRUE(orvane::nl::HasUsableHardwareAddress(*entry));
    const SeenRequests seen = WatchRequests(kFake, [] {
        const ProbeRun again = ParseProbe(RunCaptured(AsOrdinaryUser({ORVANE_ARP_PROBE, kFake})));
        ASSERT_EQ(again.lines.size(), 1u);
        EXPECT_EQ(again.lines[0].second.result, NO_ERROR);
    });
    EXPECT_TRUE(seen.frames.empty());
}

TEST_F(SendArpLab, UnprivilegedLetsTheKernelAskOnce)
{
    // One datagram: the kernel's first request; its own retries come 1 s
    // apart, long after the wait.
    const char* nobody = "192.168.1.52";
    const SeenRequests seen = WatchRequests(nobody, [&] {
        const ProbeRun run = ParseProbe(RunCaptured(AsOrdinaryUser({ORVANE_ARP_PROBE, nobody})));
        ASSERT_EQ(run.lines.size(), 1u);
        EXPECT_EQ(run.lines[0].second.result, ERROR_BAD_NET_NAME);
    });
    EXPECT_EQ(seen.frames.size(), 1u);
}

// --- the capability, given to the binary --------------------------------

TEST_F(SendArpLab, PermittedNetRawTakesThePrivilegedPathAndDropsIt)
{
    // A copy of the probe with CAP_NET_RAW permitted but not effective, run
    // by an ordinary user: the resolver raises it for the socket alone.
    char dir[] = "/tmp/orvane-capXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string copy = std::string(dir) + "/arp-probe";
    std::filesystem::copy_file(ORVANE_ARP_PROBE, copy);
    chmod(dir, 0755);
    chmod(copy.c_str(), 0755);
    const orvane::linux_handles::Caps caps(cap_from_text("cap_net_raw=p"));
    ASSERT_TRUE(caps);
    const int set = cap_set_file(copy.c_str(), caps.get());
    if (set != 0) {
        std::filesystem::remove_all(dir);
        GTEST_SKIP() << "this file system keeps no file capabilities";
    }
    const ProbeRun run = ParseProbe(RunCaptured(AsOrdinaryUser({copy, kForCapability, kSilent})));
    std::filesystem::remove_all(dir);
    ASSERT_EQ(run.lines.size(), 2u);
    EXPECT_EQ(run.lines[0].second.result, NO_ERROR);
    EXPECT_EQ(run.lines[0].second.mac, "02:4f:52:00:00:82");
    EXPECT_EQ(run.lines[1].second.result, ERROR_BAD_NET_NAME);
    EXPECT_EQ(run.netRawEffective, 0) << "the capability stayed raised";
    // The raw path asked the segment; the kernel's table did not learn it.
    const auto entry = KernelNeighbour(kForCapability);
    EXPECT_TRUE(!entry || !orvane::nl::HasUsableHardwareAddress(*entry));
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // These tests send ARP requests and datagrams: only inside a lab.
    if (!LabEnv("ORVANE_LAB").empty())
        RequireLabNamespace("net_lab_sendarp_tests");
    return RUN_ALL_TESTS();
}
