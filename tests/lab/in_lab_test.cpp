// Runs inside the client namespace of a lab that CTest builds with
// orvane-lab (see tests/lab/CMakeLists.txt for the topology: hosts .1 and .7,
// and arp-responder on br0 with the table below). Checks that the lab is what
// it says and that the responder puts the right bytes on the wire.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/lab.h"

namespace {

using namespace labtest;
using namespace std::chrono_literals;

constexpr const char* kClientIp = "192.168.1.23";
const Mac kClientMac = MacOf("02:4f:52:00:01:17");

class InLab : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!IsRoot())
            GTEST_SKIP() << "lab tests need root";
        if (std::getenv("ORVANE_LAB") == nullptr)
            GTEST_SKIP() << "not started by orvane-lab";
    }
};
TEST_F(InLab, GuardAcceptsEveryNamespaceOfTheLab)
{
    EXPECT_EQ(LabNamespaceProblem(), "");
    EXPECT_EQ(NotInitialNamespaceProblem(), "");
    std::string lab = LabEnv("ORVANE_LAB");
    for (const char* role : {"-b", "-h1", "-h2"}) {
        std::string problem = "not entered";
        EXPECT_TRUE(InNamespace(lab + role, [&] { problem = LabNamespaceProblem(); })) << role;
        EXPECT_EQ(problem, "") << role;
    }
}

TEST_F(InLab, ClientHasOnlyLoAndEth0WithLabAddresses)
{
    ifaddrs* list = nullptr;
    ASSERT_EQ(getifaddrs(&list), 0);
    std::vector<std::string> links;
    std::string eth0_ip;
    for (ifaddrs* ifa = list; ifa; ifa = ifa->ifa_next) {
        if (!ifa->ifa_addr)
            continue;
        if (ifa->ifa_addr->sa_family == AF_PACKET)
            links.push_back(ifa->ifa_name);
        if (ifa->ifa_addr->sa_family == AF_INET && std::string(ifa->ifa_name) == "eth0") {
            char buf[INET_ADDRSTRLEN];
            inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(ifa->ifa_addr)->sin_addr, buf, sizeof buf);
            eth0_ip = buf;
        }
    }
    freeifaddrs(list);
    EXPECT_EQ(links, (std::vector<std::string>{"lo", "eth0"}));
    EXPECT_EQ(eth0_ip, kClientIp);
}

// One request per case; every reply whose sender is the target is collected.
struct ResponderCase {
    const char* name;
    const char* target;
    std::vector<Bytes> expected;  // in order; empty: nobody answers
    bool kernel = false;          // a kernel host: padding allowed
};

std::vector<ResponderCase> ResponderCases()
{
    const Mac m50 = MacOf("02:4f:52:00:00:50"), m51 = MacOf("02:4f:52:00:00:51"),
              m52 = MacOf("02:4f:52:00:00:52"), m53 = MacOf("02:4f:52:00:00:53"),
              m63 = MacOf("02:4f:52:00:00:63"), host1 = MacOf("02:4f:52:00:02:01"),
              host7 = MacOf("02:4f:52:aa:00:07");
    return {
        {"plain", "192.168.1.50", {ArpReply(m50, "192.168.1.50", kClientMac, kClientIp)}},
        {"delayed", "192.168.1.51", {ArpReply(m51, "192.168.1.51", kClientMac, kClientIp)}},
        {"short hlen", "192.168.1.52", {ArpReply(m52, "192.168.1.52", kClientMac, kClientIp, 2)}},
        {
            "twice",
            "192.168.1.53",
            {ArpReply(m53, "192.168.1.53", kClientMac, kClientIp),
             ArpReply(m63, "192.168.1.53", kClientMac, kClientIp)},
        },
        {"kernel host default MAC",
         "192.168.1.1",
         {ArpReply(host1, "192.168.1.1", kClientMac, kClientIp)},
         true},
        {"kernel host given MAC",
         "192.168.1.7",
         {ArpReply(host7, "192.168.1.7", kClientMac, kClientIp)},
         true},
        {"nobody", "192.168.1.60", {}},
        // Claimed unsolicited, so never answered when asked for directly.
        {"unsolicited address asked for", "192.168.1.54", {}},
    };
}

TEST_F(InLab, ResponderAndHostsAnswerByteExactly)
{
    RawArp arp("eth0");
    ASSERT_EQ(arp.problem(), "");
    for (const auto& c : ResponderCases()) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(arp.Send(ArpRequest(kClientMac, kClientIp, c.target)));
        // Until the expected replies are in (a generous limit for a busy
        // machine); where none is expected, a while for a wrong one to show.
        const auto fromTarget = [&](const std::vector<Received>& replies) {
            std::size_t n = 0;
            for (const auto& r : replies)
                n += SenderIp(r.frame) == c.target;
            return n;
        };
        auto replies =
            c.expected.empty() ? arp.Replies(300ms) : arp.Replies(10s, [&](const std::vector<Received>& got) {
                return fromTarget(got) >= c.expected.size();
            });
        std::vector<Bytes> mine;
        for (const auto& r : replies) {
            if (SenderIp(r.frame) != c.target)
                continue;
            // A kernel's reply may be padded; the ARP part is what counts.
            Bytes frame = r.frame;
            if (c.kernel && frame.size() > 42)
                frame.resize(42);
            mine.push_back(frame);
        }
        EXPECT_EQ(Hex(mine), Hex(c.expected));
    }
}

// The late machine (.51, 300 ms) answers after a prompt one (.50) asked
// after it: the delay is in its place, whatever the machine's load.
TEST_F(InLab, DelayedAnswerComesAfterALaterPromptOne)
{
    RawArp arp("eth0");
    ASSERT_EQ(arp.problem(), "");
    ASSERT_TRUE(arp.Send(ArpRequest(kClientMac, kClientIp, "192.168.1.51")));
    ASSERT_TRUE(arp.Send(ArpRequest(kClientMac, kClientIp, "192.168.1.50")));
    std::vector<std::string> order;
    arp.Replies(10s, [&](const std::vector<Received>& got) {
        order.clear();
        for (const auto& r : got) {
            const std::string from = SenderIp(r.frame);
            if (from == "192.168.1.50" || from == "192.168.1.51")
                order.push_back(from);
        }
        return order.size() >= 2;
    });
    EXPECT_EQ(order, (std::vector<std::string>{"192.168.1.50", "192.168.1.51"}));
}

TEST_F(InLab, UnsolicitedClaimArrivesWithEveryRequest)
{
    RawArp arp("eth0");
    ASSERT_EQ(arp.problem(), "");
    const Bytes claim = ArpReply(MacOf("02:4f:52:00:00:54"), "192.168.1.54", kClientMac, kClientIp);
    for (const char* target : {"192.168.1.50", "192.168.1.60"}) {
        SCOPED_TRACE(target);
        ASSERT_TRUE(arp.Send(ArpRequest(kClientMac, kClientIp, target)));
        auto replies = arp.Replies(300ms);
        int claims = 0;
        for (const auto& r : replies)
            if (SenderIp(r.frame) == "192.168.1.54") {
                EXPECT_EQ(Hex(r.frame), Hex(claim));
                ++claims;
            }
        EXPECT_EQ(claims, 1);
    }
}
}  // namespace
