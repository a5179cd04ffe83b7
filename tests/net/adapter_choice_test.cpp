#include "platform/net/adapter_choice.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <net/if_arp.h>

#include <string>
#include <vector>

namespace {

using orvane::adapters::AdapterFacts;
using orvane::arp::Choice;

IPAddr Ip(const char* text)
{
    return inet_addr(text);
}

constexpr unsigned kUp = IFF_UP | IFF_RUNNING | IFF_BROADCAST;

AdapterFacts Adapter(std::uint32_t index, unsigned flags,
                     std::vector<std::pair<const char*, const char*>> ipv4)
{
    AdapterFacts adapter;
    adapter.name = "eth" + std::to_string(index);
    adapter.index = index;
    adapter.flags = flags;
    adapter.hardwareType = ARPHRD_ETHER;
    adapter.addressLength = 6;
    adapter.address = {0x02, 0x4f, 0x52, 0x00, 0x00, static_cast<std::uint8_t>(index)};
    for (const auto& [address, mask] : ipv4)
        adapter.ipv4.push_back({Ip(address), Ip(mask)});
    return adapter;
}

TEST(ChooseAdapter, PicksTheAdapterWhoseSubnetHoldsTheAddress)
{
    AdapterFacts lo = Adapter(1, kUp | IFF_LOOPBACK, {{"127.0.0.1", "255.0.0.0"}});
    const AdapterFacts lan =
        Adapter(2, kUp, {{"192.168.1.23", "255.255.255.0"}, {"10.9.0.5", "255.255.0.0"}});
    const AdapterFacts down = Adapter(3, IFF_BROADCAST, {{"172.16.0.5", "255.255.255.0"}});
    const AdapterFacts p2p = Adapter(4, kUp, {{"10.31.0.0", "255.255.255.254"}});
    const AdapterFacts single = Adapter(5, kUp, {{"10.32.0.7", "255.255.255.255"}});
    AdapterFacts tunnel = Adapter(6, kUp, {{"10.40.0.1", "255.255.255.0"}});
    tunnel.addressLength = 0;
    const std::vector<AdapterFacts> all = {lo, lan, down, p2p, single, tunnel};

    struct Case {
        const char* name;
        const char* destination;
        const char* source;  // "" for 0
        Choice kind;
        std::uint32_t ifindex;  // Found: the adapter asked on
        const char* ourIp;      // Found: the address asked from
        std::uint8_t macLast;   // Found or OwnAddress: last byte of the MAC
    };
    const Case cases[] = {
        {"a host of the LAN", "192.168.1.1", "", Choice::Found, 2, "192.168.1.23", 2},
        {"second address's subnet", "10.9.3.4", "", Choice::Found, 2, "10.9.0.5", 2},
        {"own address", "192.168.1.23", "", Choice::OwnAddress, 0, "", 2},
        {"own second address", "10.9.0.5", "", Choice::OwnAddress, 0, "", 2},
        {"own address on an adapter that is down", "172.16.0.5", "", Choice::OwnAddress, 0, "", 3},
        {"network address", "192.168.1.0", "", Choice::NoHost, 0, "", 0},
        {"broadcast address", "192.168.1.255", "", Choice::NoHost, 0, "", 0},
        {"off every subnet", "8.8.8.8", "", Choice::NoAdapter, 0, "", 0},
        {"loopback", "127.0.0.2", "", Choice::NoAdapter, 0, "", 0},
        {"subnet of an adapter that is down", "172.16.0.9", "", Choice::NoAdapter, 0, "", 0},
        {"source picks the address", "10.9.3.4", "10.9.0.5", Choice::Found, 2, "10.9.0.5", 2},
        {"source of another subnet", "10.9.3.4", "192.168.1.23", Choice::NoAdapter, 0, "", 0},
        {"source not ours", "192.168.1.1", "192.168.1.99", Choice::NoAdapter, 0, "", 0},
        {"/31: the other end is a host", "10.31.0.1", "", Choice::Found, 4, "10.31.0.0", 4},
        {"/32: nothing beside itself", "10.32.0.8", "", Choice::NoAdapter, 0, "", 0},
        {"/32: itself", "10.32.0.7", "", Choice::OwnAddress, 0, "", 5},
        {"no hardware address", "10.40.0.9", "", Choice::NoAdapter, 0, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto choice = orvane::arp::ChooseAdapter(all, Ip(c.destination), *c.source ? Ip(c.source) : 0);
        ASSERT_EQ(choice.kind, c.kind);
        if (c.kind == Choice::Found) {
            EXPECT_EQ(choice.ifindex, c.ifindex);
            EXPECT_EQ(choice.ourIp, Ip(c.ourIp));
        }
        if (c.kind == Choice::Found || c.kind == Choice::OwnAddress) {
            EXPECT_EQ(choice.mac[5], c.macLast);
        }
    }
    EXPECT_EQ(orvane::arp::ChooseAdapter({}, Ip("192.168.1.1"), 0).kind, Choice::NoAdapter);
}

}  // namespace
