#include "platform/net/arp_frame.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using orvane::arp::HardwareAddress;

IPAddr Ip(const char* text)
{
    return inet_addr(text);
}

const HardwareAddress kOurMac{0x02, 0x4f, 0x52, 0x00, 0x01, 0x17};
const HardwareAddress kHostMac{0x02, 0x4f, 0x52, 0x00, 0x00, 0x01};

TEST(ArpRequest, IsTheExactBroadcastWhoHasFrame)
{
    const auto frame = orvane::arp::BuildRequest(kOurMac, Ip("192.168.1.23"), Ip("192.168.1.1"));
    const std::vector<std::uint8_t> expected = {
        0xff, 0xff, 0xff, 0xff, 0xff, 0xff,  // to everyone
        0x02, 0x4f, 0x52, 0x00, 0x01, 0x17,  // from us
        0x08, 0x06,                          // ARP
        0x00, 0x01, 0x08, 0x00, 0x06, 0x04,  // Ethernet / IPv4, 6 / 4
        0x00, 0x01,                          // request
        0x02, 0x4f, 0x52, 0x00, 0x01, 0x17,  // sender MAC
        0xc0, 0xa8, 0x01, 0x17,              // sender 192.168.1.23
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // target MAC unknown
        0xc0, 0xa8, 0x01, 0x01,              // target 192.168.1.1
    };
    EXPECT_EQ(std::vector<std::uint8_t>(frame.begin(), frame.end()), expected);
}

// A well-formed reply from 192.168.1.1 (kHostMac) to 192.168.1.23 (us),
// padded to the Ethernet minimum as it arrives from most senders.
std::vector<std::uint8_t> GoodReply()
{
    std::vector<std::uint8_t> frame = {
        0x02, 0x4f, 0x52, 0x00, 0x01, 0x17, 0x02, 0x4f, 0x52, 0x00, 0x00, 0x01, 0x08, 0x06,
        0x00, 0x01, 0x08, 0x00, 0x06, 0x04, 0x00, 0x02, 0x02, 0x4f, 0x52, 0x00, 0x00, 0x01,
        0xc0, 0xa8, 0x01, 0x01, 0x02, 0x4f, 0x52, 0x00, 0x01, 0x17, 0xc0, 0xa8, 0x01, 0x17,
    };
    frame.resize(60, 0);
    return frame;
}

struct ReplyCase {
    std::string name;
    std::vector<std::uint8_t> frame;
    bool answers;
};

std::vector<ReplyCase> ReplyCases()
{
    std::vector<ReplyCase> cases;
    const auto with = [](std::size_t at, std::vector<std::uint8_t> bytes) {
        auto frame = GoodReply();
        std::copy(bytes.begin(), bytes.end(), frame.begin() + static_cast<std::ptrdiff_t>(at));
        return frame;
    };
    const auto cut = [](std::size_t length) {
        auto frame = GoodReply();
        frame.resize(length);
        return frame;
    };
    cases.push_back({"padded reply", GoodReply(), true});
    cases.push_back({"unpadded reply", cut(42), true});
    cases.push_back({"one byte short", cut(41), false});
    cases.push_back({"ARP header only", cut(22), false});
    cases.push_back({"Ethernet header only", cut(14), false});
    cases.push_back({"empty", {}, false});
    cases.push_back({"not ARP", with(12, {0x08, 0x00}), false});
    cases.push_back({"hardware type not Ethernet", with(14, {0x00, 0x06}), false});
    cases.push_back({"protocol not IPv4", with(16, {0x86, 0xdd}), false});
    cases.push_back({"hardware length 4", with(18, {0x04}), false});
    cases.push_back({"hardware length 8", with(18, {0x08}), false});
    cases.push_back({"protocol length 6", with(19, {0x06}), false});
    cases.push_back({"a request", with(20, {0x00, 0x01}), false});
    cases.push_back({"RARP reply", with(20, {0x00, 0x04}), false});
    cases.push_back({"reply for another address", with(28, {0xc0, 0xa8, 0x01, 0x02}), false});
    cases.push_back({"reply to somebody else", with(38, {0xc0, 0xa8, 0x01, 0x63}), false});
    cases.push_back({"group sender MAC", with(22, {0x01, 0x00, 0x5e, 0x00, 0x00, 0x01}), false});
    cases.push_back({"zero sender MAC", with(22, {0, 0, 0, 0, 0, 0}), false});
    cases.push_back({"frame to another station", with(0, {0x02, 0x4f, 0x52, 0, 0, 0x99}), false});
    // The kernel does not look at the target hardware address either.
    cases.push_back({"ARP target MAC another station's", with(32, {0x02, 0x4f, 0x52, 0, 0, 0x99}), true});
    cases.push_back({"ARP target MAC zero", with(32, {0, 0, 0, 0, 0, 0}), true});
    cases.push_back({"ARP target MAC broadcast", with(32, {0xff, 0xff, 0xff, 0xff, 0xff, 0xff}), true});
    cases.push_back({"frame to broadcast", with(0, {0xff, 0xff, 0xff, 0xff, 0xff, 0xff}), true});
    return cases;
}

TEST(ArpReply, OnlyTheExactReplyFromTheAskedAddressAnswers)
{
    for (const ReplyCase& c : ReplyCases()) {
        SCOPED_TRACE(c.name);
        const auto mac = orvane::arp::ParseReply(c.frame.data(), c.frame.size(), Ip("192.168.1.1"),
                                                 Ip("192.168.1.23"), kOurMac);
        ASSERT_EQ(mac.has_value(), c.answers);
        if (mac) {
            EXPECT_EQ(*mac, kHostMac);
        }
    }
}

TEST(ArpReply, NullFrameNeverAnswers)
{
    EXPECT_FALSE(orvane::arp::ParseReply(nullptr, 60, Ip("192.168.1.1"), Ip("192.168.1.23"), kOurMac));
}

TEST(ArpReply, ParsesWhatTheRequestBuilderAsksForWhenTurnedAround)
{
    // A responder that swaps the request's sender and target: the answer
    // names the responder.
    auto frame = orvane::arp::BuildRequest(kOurMac, Ip("10.0.0.5"), Ip("10.0.0.6"));
    std::uint8_t* arp = frame.data() + 14;
    std::uint8_t reply[28];
    std::memcpy(reply, arp, 8);
    reply[7] = 2;
    const HardwareAddress responder{0x02, 0x4f, 0x52, 0xaa, 0xbb, 0xcc};
    std::memcpy(reply + 8, responder.data(), 6);
    std::memcpy(reply + 14, arp + 24, 4);
    std::memcpy(reply + 18, arp + 8, 10);
    std::memcpy(arp, reply, sizeof reply);
    const auto mac =
        orvane::arp::ParseReply(frame.data(), frame.size(), Ip("10.0.0.6"), Ip("10.0.0.5"), kOurMac);
    ASSERT_TRUE(mac);
    EXPECT_EQ(*mac, responder);
    EXPECT_FALSE(
        orvane::arp::ParseReply(frame.data(), frame.size(), Ip("10.0.0.7"), Ip("10.0.0.5"), kOurMac));
}

}  // namespace
