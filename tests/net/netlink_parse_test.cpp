#include "platform/net/linux/netlink_parse.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <libmnl/libmnl.h>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <climits>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace {

using orvane::nl::ChunkResult;
using orvane::nl::NeighbourEntry;
using orvane::nl::RouteEntry;

IPAddr Ip(const char* text)
{
    return inet_addr(text);
}

// Builds rtnetlink messages the way the kernel sends them, one after
// another in a single receive buffer.
class Messages {
public:
    nlmsghdr* Route(std::uint8_t family, std::uint8_t dstLength, std::uint8_t table, std::uint8_t type,
                    std::uint32_t seq = 0)
    {
        nlmsghdr* message = Start(RTM_NEWROUTE, seq);
        auto* route = static_cast<rtmsg*>(mnl_nlmsg_put_extra_header(message, sizeof(rtmsg)));
        route->rtm_family = family;
        route->rtm_dst_len = dstLength;
        route->rtm_table = table;
        route->rtm_type = type;
        route->rtm_protocol = RTPROT_BOOT;
        route->rtm_scope = RT_SCOPE_UNIVERSE;
        return message;
    }

    nlmsghdr* Neighbour(std::uint16_t type, std::uint8_t family, int ifindex, std::uint16_t state,
                        std::uint32_t seq = 0)
    {
        nlmsghdr* message = Start(type, seq);
        auto* neighbour = static_cast<ndmsg*>(mnl_nlmsg_put_extra_header(message, sizeof(ndmsg)));
        neighbour->ndm_family = family;
        neighbour->ndm_ifindex = ifindex;
        neighbour->ndm_state = state;
        return message;
    }

    void Done(std::uint32_t seq = 0)
    {
        nlmsghdr* message = Start(NLMSG_DONE, seq);
        mnl_nlmsg_put_extra_header(message, sizeof(int));  // the dump's status, 0
        Close(message);
    }

    void Error(int error, std::uint32_t seq = 0)
    {
        nlmsghdr* message = Start(NLMSG_ERROR, seq);
        auto* body = static_cast<nlmsgerr*>(mnl_nlmsg_put_extra_header(message, sizeof(nlmsgerr)));
        body->error = static_cast<int>(-static_cast<long>(error));  // INT_MIN stays INT_MIN
        Close(message);
    }

    // Ends the last message (after its attributes); the next one starts
    // behind it.
    void Close(nlmsghdr* message) { m_used = Offset(message) + MNL_ALIGN(message->nlmsg_len); }

    const void* data() const { return m_buffer.data(); }
    std::size_t size() const { return m_used; }

private:
    nlmsghdr* Start(std::uint16_t type, std::uint32_t seq)
    {
        nlmsghdr* message = mnl_nlmsg_put_header(m_buffer.data() + m_used);
        message->nlmsg_type = type;
        message->nlmsg_flags = NLM_F_MULTI;
        message->nlmsg_seq = seq;
        return message;
    }
    std::size_t Offset(const nlmsghdr* message) const
    {
        return static_cast<std::size_t>(reinterpret_cast<const std::uint8_t*>(message) - m_buffer.data());
    }

    std::vector<std::uint8_t> m_buffer = std::vector<std::uint8_t>(8192, 0);
    std::size_t m_used = 0;
};

void PutIp(nlmsghdr* message, std::uint16_t type, const char* text)
{
    const IPAddr address = Ip(text);
    mnl_attr_put(message, type, 4, &address);
}

std::vector<RouteEntry> ParseOne(Messages& m, nlmsghdr* message, bool expectOk = true)
{
    m.Close(message);
    std::vector<RouteEntry> out;
    EXPECT_EQ(orvane::nl::ParseRouteMessage(message, out), expectOk);
    return out;
}

TEST(RouteMessage, DefaultRouteGivesGatewayInterfaceMetricAndTable)
{
    Messages m;
    nlmsghdr* message = m.Route(AF_INET, 0, RT_TABLE_MAIN, RTN_UNICAST);
    mnl_attr_put_u32(message, RTA_TABLE, RT_TABLE_MAIN);
    PutIp(message, RTA_GATEWAY, "192.168.1.1");
    mnl_attr_put_u32(message, RTA_OIF, 2);
    mnl_attr_put_u32(message, RTA_PRIORITY, 100);
    const auto routes = ParseOne(m, message);
    ASSERT_EQ(routes.size(), 1u);
    EXPECT_EQ(routes[0].dstLength, 0);
    EXPECT_EQ(routes[0].type, RTN_UNICAST);
    EXPECT_EQ(routes[0].table, static_cast<std::uint32_t>(RT_TABLE_MAIN));
    EXPECT_EQ(routes[0].gateway, Ip("192.168.1.1"));
    EXPECT_EQ(routes[0].oif, 2u);
    EXPECT_EQ(routes[0].metric, 100u);
}

TEST(RouteMessage, SubnetRouteWithoutGatewayOrMetric)
{
    Messages m;
    nlmsghdr* message = m.Route(AF_INET, 24, RT_TABLE_MAIN, RTN_UNICAST);
    PutIp(message, RTA_DST, "192.168.1.0");
    mnl_attr_put_u32(message, RTA_OIF, 7);
    const auto routes = ParseOne(m, message);
    ASSERT_EQ(routes.size(), 1u);
    EXPECT_EQ(routes[0].dstLength, 24);
    EXPECT_EQ(routes[0].dst, Ip("192.168.1.0"));
    EXPECT_EQ(routes[0].gateway, 0u);
    EXPECT_EQ(routes[0].metric, 0u);
    EXPECT_EQ(routes[0].oif, 7u);
}

TEST(RouteMessage, TableAttributeOverridesTheHeaderField)
{
    Messages m;
    // Tables above 255 only fit the attribute; the header then says 252.
    nlmsghdr* message = m.Route(AF_INET, 0, RT_TABLE_COMPAT, RTN_UNICAST);
    mnl_attr_put_u32(message, RTA_TABLE, 1000);
    const auto routes = ParseOne(m, message);
    ASSERT_EQ(routes.size(), 1u);
    EXPECT_EQ(routes[0].table, 1000u);
}

TEST(RouteMessage, MultipathGivesOneEntryPerNextHop)
{
    Messages m;
    nlmsghdr* message = m.Route(AF_INET, 0, RT_TABLE_MAIN, RTN_UNICAST);
    mnl_attr_put_u32(message, RTA_PRIORITY, 20);
    nlattr* nest = mnl_attr_nest_start(message, RTA_MULTIPATH);
    for (const auto& [ifindex, gateway] : {std::pair{3, "10.0.0.1"}, std::pair{4, "10.0.1.1"}}) {
        auto* hop = static_cast<rtnexthop*>(mnl_nlmsg_get_payload_tail(message));
        message->nlmsg_len += RTNH_ALIGN(sizeof(rtnexthop));
        std::memset(hop, 0, sizeof *hop);
        hop->rtnh_ifindex = ifindex;
        PutIp(message, RTA_GATEWAY, gateway);
        hop->rtnh_len =
            static_cast<unsigned short>(reinterpret_cast<std::uint8_t*>(mnl_nlmsg_get_payload_tail(message)) -
                                        reinterpret_cast<std::uint8_t*>(hop));
    }
    mnl_attr_nest_end(message, nest);
    const auto routes = ParseOne(m, message);
    ASSERT_EQ(routes.size(), 2u);
    EXPECT_EQ(routes[0].oif, 3u);
    EXPECT_EQ(routes[0].gateway, Ip("10.0.0.1"));
    EXPECT_EQ(routes[1].oif, 4u);
    EXPECT_EQ(routes[1].gateway, Ip("10.0.1.1"));
    EXPECT_EQ(routes[1].metric, 20u);
}

TEST(RouteMessage, MalformedAndForeignMessages)
{
    {
        Messages m;
        nlmsghdr* message = m.Route(AF_INET, 0, RT_TABLE_MAIN, RTN_UNICAST);
        const std::uint8_t sixBytes[6] = {192, 168, 1, 1, 0, 0};
        mnl_attr_put(message, RTA_GATEWAY, sizeof sixBytes, sixBytes);
        EXPECT_TRUE(ParseOne(m, message, false).empty()) << "gateway of 6 bytes";
    }
    {
        Messages m;
        nlmsghdr* message = m.Route(AF_INET, 0, RT_TABLE_MAIN, RTN_UNICAST);
        mnl_attr_put_u16(message, RTA_OIF, 2);
        EXPECT_TRUE(ParseOne(m, message, false).empty()) << "interface index of 2 bytes";
    }
    {
        Messages m;
        nlmsghdr* message = m.Route(AF_INET6, 0, RT_TABLE_MAIN, RTN_UNICAST);
        mnl_attr_put_u32(message, RTA_OIF, 2);
        EXPECT_TRUE(ParseOne(m, message, true).empty()) << "IPv6 route is skipped, not an error";
    }
    {
        Messages m;
        nlmsghdr* message = m.Neighbour(RTM_NEWNEIGH, AF_INET, 2, NUD_REACHABLE);
        EXPECT_TRUE(ParseOne(m, message, true).empty()) << "not a route message";
    }
}

std::vector<RouteEntry> SampleRoutes()
{
    // dstLength, type, table, dst, gateway, oif, metric
    return {
        {0, RTN_UNICAST, RT_TABLE_MAIN, 0, Ip("192.168.1.1"), 2, 600},
        {24, RTN_UNICAST, RT_TABLE_MAIN, Ip("192.168.1.0"), 0, 2, 0},
        {0, RTN_UNICAST, 100, 0, Ip("10.9.9.9"), 5, 1},  // policy table
        {0, RTN_BLACKHOLE, RT_TABLE_MAIN, 0, 0, 0, 0},   // no interface
        {0, RTN_UNICAST, RT_TABLE_MAIN, 0, Ip("10.0.0.1"), 3, 100},
        {0, RTN_UNICAST, RT_TABLE_MAIN, 0, 0, 4, 100},  // straight out of a device
        {0, RTN_UNICAST, RT_TABLE_LOCAL, 0, Ip("127.0.0.1"), 1, 0},
    };
}

TEST(DefaultRoutes, MainTableUnicastOnlyLowestMetricFirstTiesInKernelOrder)
{
    const auto defaults = orvane::nl::MainDefaultRoutes(SampleRoutes());
    ASSERT_EQ(defaults.size(), 3u);
    EXPECT_EQ(defaults[0].oif, 3u);
    EXPECT_EQ(defaults[0].gateway, Ip("10.0.0.1"));
    EXPECT_EQ(defaults[1].oif, 4u);
    EXPECT_EQ(defaults[1].gateway, 0u);
    EXPECT_EQ(defaults[2].oif, 2u);
    EXPECT_EQ(defaults[2].metric, 600u);
}

TEST(DumpChunk, RoutesThenDoneEndsTheDump)
{
    Messages m;
    nlmsghdr* first = m.Route(AF_INET, 0, RT_TABLE_MAIN, RTN_UNICAST, 7);
    mnl_attr_put_u32(first, RTA_OIF, 2);
    m.Close(first);
    nlmsghdr* second = m.Route(AF_INET, 16, RT_TABLE_MAIN, RTN_UNICAST, 7);
    mnl_attr_put_u32(second, RTA_OIF, 3);
    m.Close(second);
    std::vector<RouteEntry> routes;
    EXPECT_EQ(orvane::nl::ReadRouteChunk(m.data(), m.size(), 7, 0, routes), ChunkResult::More);
    EXPECT_EQ(routes.size(), 2u);

    m.Done(7);
    routes.clear();
    EXPECT_EQ(orvane::nl::ReadRouteChunk(m.data(), m.size(), 7, 0, routes), ChunkResult::Done);
    EXPECT_EQ(routes.size(), 2u);
}

TEST(DumpChunk, ErrorReplyFailsWithItsErrno)
{
    Messages m;
    m.Error(EPERM, 3);
    std::vector<RouteEntry> routes;
    EXPECT_EQ(orvane::nl::ReadRouteChunk(m.data(), m.size(), 3, 0, routes), ChunkResult::Failed);
    EXPECT_EQ(errno, EPERM);

    // No errno at all: INT_MIN cannot be negated (found by the fuzzer).
    Messages odd;
    odd.Error(INT_MIN, 3);
    EXPECT_EQ(orvane::nl::ReadRouteChunk(odd.data(), odd.size(), 3, 0, routes), ChunkResult::Failed);
    EXPECT_EQ(errno, EPROTO);
}

TEST(DumpChunk, AnotherSequenceNumberIsNotOurs)
{
    Messages m;
    nlmsghdr* message = m.Route(AF_INET, 0, RT_TABLE_MAIN, RTN_UNICAST, 9);
    m.Close(message);
    std::vector<RouteEntry> routes;
    EXPECT_EQ(orvane::nl::ReadRouteChunk(m.data(), m.size(), 8, 0, routes), ChunkResult::Failed);
}

TEST(DumpChunk, MalformedRouteFailsTheDump)
{
    Messages m;
    nlmsghdr* message = m.Route(AF_INET, 0, RT_TABLE_MAIN, RTN_UNICAST, 1);
    mnl_attr_put_u16(message, RTA_PRIORITY, 5);
    m.Close(message);
    std::vector<RouteEntry> routes;
    EXPECT_EQ(orvane::nl::ReadRouteChunk(m.data(), m.size(), 1, 0, routes), ChunkResult::Failed);
}

// --- neighbours ----------------------------------------------------------

std::optional<NeighbourEntry> Neighbour(std::uint16_t state, const std::vector<std::uint8_t>& lladdr,
                                        std::uint16_t type = RTM_NEWNEIGH, std::uint8_t family = AF_INET)
{
    Messages m;
    nlmsghdr* message = m.Neighbour(type, family, 5, state);
    PutIp(message, NDA_DST, "192.168.1.100");
    if (!lladdr.empty())
        mnl_attr_put(message, NDA_LLADDR, lladdr.size(), lladdr.data());
    m.Close(message);
    return orvane::nl::ParseNeighbourMessage(message);
}

const std::vector<std::uint8_t> kMac = {0x02, 0x4f, 0x52, 0x00, 0x00, 0x64};

TEST(NeighbourMessage, ReadsInterfaceStateDestinationAndHardwareAddress)
{
    const auto entry = Neighbour(NUD_REACHABLE, kMac);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->ifindex, 5u);
    EXPECT_EQ(entry->state, NUD_REACHABLE);
    EXPECT_TRUE(entry->hasDst);
    EXPECT_EQ(entry->dst, Ip("192.168.1.100"));
    ASSERT_EQ(entry->lladdrLength, 6);
    EXPECT_TRUE(std::equal(kMac.begin(), kMac.end(), entry->lladdr.begin()));
}

TEST(NeighbourMessage, OnlyNewIpv4EntriesWellFormed)
{
    EXPECT_FALSE(Neighbour(NUD_REACHABLE, kMac, RTM_DELNEIGH));
    EXPECT_FALSE(Neighbour(NUD_REACHABLE, kMac, RTM_NEWNEIGH, AF_INET6));
    EXPECT_FALSE(Neighbour(NUD_REACHABLE, std::vector<std::uint8_t>(20, 1))) << "hardware address too long";
    Messages m;
    nlmsghdr* message = m.Neighbour(RTM_NEWNEIGH, AF_INET, 5, NUD_REACHABLE);
    const std::uint8_t shortDst[2] = {10, 0};
    mnl_attr_put(message, NDA_DST, sizeof shortDst, shortDst);
    m.Close(message);
    EXPECT_FALSE(orvane::nl::ParseNeighbourMessage(message)) << "destination of 2 bytes";
}

TEST(NeighbourMessage, StatesAreBitMasks)
{
    struct Case {
        const char* name;
        std::uint16_t state;
        std::vector<std::uint8_t> lladdr;
        bool usable;
    };
    const std::vector<Case> cases = {
        {"reachable", NUD_REACHABLE, kMac, true},
        {"stale", NUD_STALE, kMac, true},
        {"delay", NUD_DELAY, kMac, true},
        {"probe", NUD_PROBE, kMac, true},
        {"permanent", NUD_PERMANENT, kMac, true},
        {"noarp", NUD_NOARP, kMac, true},
        {"reachable and noarp", NUD_REACHABLE | NUD_NOARP, kMac, true},
        {"incomplete", NUD_INCOMPLETE, {}, false},
        {"incomplete though an address came along", NUD_INCOMPLETE, kMac, false},
        {"failed with the old address", NUD_FAILED, kMac, false},
        {"failed and stale bits", NUD_FAILED | NUD_STALE, kMac, false},
        {"no state", NUD_NONE, kMac, false},
        {"reachable without address", NUD_REACHABLE, {}, false},
        {"reachable with a 4-byte address", NUD_REACHABLE, {10, 0, 0, 1}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto entry = Neighbour(c.state, c.lladdr);
        ASSERT_TRUE(entry);
        EXPECT_EQ(orvane::nl::HasUsableHardwareAddress(*entry), c.usable);
    }
}

TEST(NeighbourChunk, DumpRepliesAndEventsMixed)
{
    Messages m;
    nlmsghdr* event = m.Neighbour(RTM_NEWNEIGH, AF_INET, 2, NUD_REACHABLE, 0);
    PutIp(event, NDA_DST, "10.0.0.9");
    m.Close(event);
    nlmsghdr* gone = m.Neighbour(RTM_DELNEIGH, AF_INET, 2, NUD_FAILED, 0);
    PutIp(gone, NDA_DST, "10.0.0.8");
    m.Close(gone);
    nlmsghdr* dumped = m.Neighbour(RTM_NEWNEIGH, AF_INET, 2, NUD_STALE, 4);
    PutIp(dumped, NDA_DST, "10.0.0.7");
    m.Close(dumped);
    m.Done(4);
    std::vector<NeighbourEntry> entries;
    EXPECT_EQ(orvane::nl::ReadNeighbourChunk(m.data(), m.size(), 0, 0, entries), ChunkResult::Done);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].dst, Ip("10.0.0.9"));
    EXPECT_EQ(entries[1].dst, Ip("10.0.0.7"));
}

// Lengths as a hostile or broken sender may set them: each is checked
// against the bytes received, never trusted (libmnl reads 0x80000010 as a
// negative int that "fits").
TEST(HostileChunk, LengthsBeyondTheBytesReceivedFailWithoutReadingThem)
{
    struct Case {
        const char* name;
        std::uint32_t messageLength;    // the header's nlmsg_len
        std::uint16_t attributeLength;  // the NDA_DST attribute's nla_len
        std::size_t received;           // bytes handed to the reader
        bool walkFails;                 // else only the message is dropped
    };
    const Case cases[] = {
        {"message length with the sign bit", 0x80000010u, 8, 16, true},
        {"message longer than received", 64, 8, 40, true},
        {"message shorter than its header", 8, 8, 16, true},
        {"chunk cut inside a header", 40, 8, 12, true},
        {"attribute beyond its message", 40, 200, 40, false},
        {"attribute shorter than its header", 40, 2, 40, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // On the heap and exactly as long as received, so that a sanitizer
        // sees any read past it.
        Messages m;
        nlmsghdr* message = m.Neighbour(RTM_NEWNEIGH, AF_INET, 2, NUD_REACHABLE);
        PutIp(message, NDA_DST, "10.0.0.9");
        m.Close(message);
        auto* attribute = reinterpret_cast<nlattr*>(reinterpret_cast<std::uint8_t*>(message) + NLMSG_HDRLEN +
                                                    NLMSG_ALIGN(sizeof(ndmsg)));
        message->nlmsg_len = c.messageLength;
        attribute->nla_len = c.attributeLength;
        const auto* bytes = static_cast<const std::uint8_t*>(m.data());
        const std::vector<std::uint8_t> received(bytes, bytes + c.received);
        std::vector<NeighbourEntry> entries;
        std::vector<RouteEntry> routes;
        errno = 0;
        EXPECT_EQ(orvane::nl::ReadNeighbourChunk(received.data(), received.size(), 0, 0, entries),
                  c.walkFails ? ChunkResult::Failed : ChunkResult::More);
        EXPECT_EQ(errno, c.walkFails ? EBADMSG : 0);
        EXPECT_TRUE(entries.empty()) << "a malformed event names no neighbour";
        message->nlmsg_type = RTM_NEWROUTE;
        std::vector<std::uint8_t> asRoute(bytes, bytes + c.received);
        EXPECT_EQ(orvane::nl::ReadRouteChunk(asRoute.data(), asRoute.size(), 0, 0, routes),
                  ChunkResult::Failed);
    }
}

// --- requests -------------------------------------------------------------

TEST(Requests, RouteDumpAsksForIpv4Routes)
{
    std::uint8_t buffer[64] = {};
    const std::size_t length = orvane::nl::BuildRouteDumpRequest(buffer, sizeof buffer, 42);
    ASSERT_EQ(length, sizeof(nlmsghdr) + sizeof(rtmsg));
    nlmsghdr header;
    std::memcpy(&header, buffer, sizeof header);
    EXPECT_EQ(header.nlmsg_len, length);
    EXPECT_EQ(header.nlmsg_type, RTM_GETROUTE);
    EXPECT_EQ(header.nlmsg_flags, NLM_F_REQUEST | NLM_F_DUMP);
    EXPECT_EQ(header.nlmsg_seq, 42u);
    rtmsg route;
    std::memcpy(&route, buffer + sizeof header, sizeof route);
    EXPECT_EQ(route.rtm_family, AF_INET);
    EXPECT_EQ(route.rtm_table, 0);
    EXPECT_EQ(orvane::nl::BuildRouteDumpRequest(buffer, length - 1, 42), 0u);
}

TEST(Requests, NeighbourDumpFiltersByInterfaceAttribute)
{
    std::uint8_t buffer[64] = {};
    const std::size_t length = orvane::nl::BuildNeighbourDumpRequest(buffer, sizeof buffer, 5, 17);
    ASSERT_EQ(length, sizeof(nlmsghdr) + sizeof(ndmsg) + 8);
    nlmsghdr header;
    std::memcpy(&header, buffer, sizeof header);
    EXPECT_EQ(header.nlmsg_type, RTM_GETNEIGH);
    EXPECT_EQ(header.nlmsg_flags, NLM_F_REQUEST | NLM_F_DUMP);
    EXPECT_EQ(header.nlmsg_seq, 5u);
    ndmsg neighbour;
    std::memcpy(&neighbour, buffer + sizeof header, sizeof neighbour);
    EXPECT_EQ(neighbour.ndm_family, AF_INET);
    EXPECT_EQ(neighbour.ndm_ifindex, 0) << "strict checking refuses a header index";
    EXPECT_EQ(neighbour.ndm_state, 0);
    const std::uint8_t* attribute = buffer + sizeof header + sizeof neighbour;
    std::uint16_t attributeLength, attributeType;
    std::uint32_t value;
    std::memcpy(&attributeLength, attribute, 2);
    std::memcpy(&attributeType, attribute + 2, 2);
    std::memcpy(&value, attribute + 4, 4);
    EXPECT_EQ(attributeLength, 8);
    EXPECT_EQ(attributeType, NDA_IFINDEX);
    EXPECT_EQ(value, 17u);
    EXPECT_EQ(orvane::nl::BuildNeighbourDumpRequest(buffer, length - 1, 5, 17), 0u);
}

}  // namespace
