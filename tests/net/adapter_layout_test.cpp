#include "platform/net/adapter_layout.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <net/if_arp.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using orvane::adapters::AdapterFacts;

IPAddr Ip(const char* text)
{
    return inet_addr(text);
}

constexpr unsigned kUpRunning = IFF_UP | IFF_RUNNING | IFF_BROADCAST | IFF_MULTICAST;

AdapterFacts Adapter(const char* name, std::uint32_t index, unsigned flags,
                     std::vector<std::pair<const char*, const char*>> ipv4 = {})
{
    AdapterFacts adapter;
    adapter.name = name;
    adapter.index = index;
    adapter.flags = flags;
    adapter.hardwareType = ARPHRD_ETHER;
    adapter.addressLength = 6;
    adapter.address = {0x02, 0x4f, 0x52, 0x00, 0x00, static_cast<std::uint8_t>(index)};
    for (const auto& [address, mask] : ipv4)
        adapter.ipv4.push_back({Ip(address), Ip(mask)});
    return adapter;
}

AdapterFacts Loopback()
{
    AdapterFacts lo = Adapter("lo", 1, IFF_UP | IFF_RUNNING | IFF_LOOPBACK, {{"127.0.0.1", "255.0.0.0"}});
    lo.hardwareType = ARPHRD_LOOPBACK;
    lo.address = {};
    return lo;
}

std::vector<std::string> Names(const std::vector<AdapterFacts>& adapters)
{
    std::vector<std::string> names;
    for (const auto& adapter : adapters)
        names.push_back(adapter.name);
    return names;
}

using NameList = std::vector<std::string>;

// --- order ----------------------------------------------------------------

struct OrderCase {
    const char* name;
    std::vector<AdapterFacts> adapters;
    std::vector<orvane::nl::DefaultRoute> defaults;  // lowest metric first
    NameList expected;
};

std::vector<OrderCase> OrderCases()
{
    const auto lan = Adapter("enp3s0", 4, kUpRunning, {{"192.168.1.23", "255.255.255.0"}});
    const auto docker = Adapter("docker0", 3, IFF_UP | IFF_BROADCAST, {{"172.17.0.1", "255.255.0.0"}});
    const auto bridge = Adapter("virbr0", 2, kUpRunning, {{"192.168.122.1", "255.255.255.0"}});
    const auto wlan = Adapter("wlan0", 6, kUpRunning, {{"10.1.0.5", "255.255.0.0"}});
    const auto noIp = Adapter("eth1", 5, kUpRunning);
    const auto down = Adapter("eth2", 7, IFF_BROADCAST, {{"10.2.0.5", "255.255.0.0"}});
    return {
        {"the adapter with the default route leads; active ones by index; the rest by index",
         {Loopback(), bridge, docker, lan, noIp, wlan, down},
         {{4, Ip("192.168.1.1"), 100}},
         {"enp3s0", "virbr0", "wlan0", "docker0", "eth1", "eth2"}},
        {"lowest metric wins over the lower index",
         {lan, wlan},
         {{6, Ip("10.1.0.1"), 50}, {4, Ip("192.168.1.1"), 600}},
         {"wlan0", "enp3s0"}},
        {"equal metrics: lower index",
         {wlan, lan},
         {{6, Ip("10.1.0.1"), 100}, {4, Ip("192.168.1.1"), 100}},
         {"enp3s0", "wlan0"}},
        {"a default route through an inactive adapter leads nothing",
         {lan, down, bridge},
         {{7, Ip("10.2.0.1"), 0}},
         {"virbr0", "enp3s0", "eth2"}},
        {"a default route through an adapter without IPv4 leads nothing",
         {lan, noIp},
         {{5, 0, 0}},
         {"enp3s0", "eth1"}},
        {"a device-only default route leads too", {bridge, lan}, {{4, 0, 0}}, {"enp3s0", "virbr0"}},
        {"no default route: by index", {wlan, lan, bridge, Loopback()}, {}, {"virbr0", "enp3s0", "wlan0"}},
        {"only loopback: nothing", {Loopback()}, {}, {}},
    };
}

TEST(AdapterOrder, ActiveFirstDefaultRouteLeadingThenByIndex)
{
    for (OrderCase& c : OrderCases()) {
        SCOPED_TRACE(c.name);
        orvane::adapters::AttachDefaultRoutes(c.adapters, c.defaults);
        orvane::adapters::OrderAdapters(c.adapters);
        EXPECT_EQ(Names(c.adapters), c.expected);
    }
}

TEST(AdapterOrder, LoopbackIsRecognisedByFlagOrHardwareType)
{
    auto byFlag = Adapter("lo", 1, IFF_UP | IFF_RUNNING | IFF_LOOPBACK);
    auto byType = Adapter("lo2", 2, IFF_UP | IFF_RUNNING);
    byType.hardwareType = ARPHRD_LOOPBACK;
    std::vector<AdapterFacts> adapters = {byFlag, byType, Adapter("eth0", 3, kUpRunning)};
    orvane::adapters::OrderAdapters(adapters);
    EXPECT_EQ(Names(adapters), NameList{"eth0"});
}

TEST(DefaultRoutes, GatewaysDistinctLowestMetricFirst)
{
    std::vector<AdapterFacts> adapters = {Adapter("eth0", 2, kUpRunning, {{"10.0.0.5", "255.255.255.0"}}),
                                          Adapter("eth1", 3, kUpRunning)};
    orvane::adapters::AttachDefaultRoutes(adapters, {{2, Ip("10.0.0.1"), 10},
                                                     {3, 0, 15},
                                                     {2, Ip("10.0.0.254"), 20},
                                                     {2, Ip("10.0.0.1"), 30},
                                                     {9, Ip("10.9.0.1"), 1}});
    EXPECT_EQ(adapters[0].gateways, (std::vector<IPAddr>{Ip("10.0.0.1"), Ip("10.0.0.254")}));
    EXPECT_TRUE(adapters[0].holdsDefaultRoute);
    EXPECT_EQ(adapters[0].defaultMetric, 10u);
    EXPECT_TRUE(adapters[1].gateways.empty());
    EXPECT_TRUE(adapters[1].holdsDefaultRoute);
    EXPECT_EQ(adapters[1].defaultMetric, 15u);
}

// --- buffer protocol ------------------------------------------------------

std::vector<AdapterFacts> TwoAdapters()
{
    auto first =
        Adapter("eth0", 2, kUpRunning, {{"192.168.1.23", "255.255.255.0"}, {"10.0.0.7", "255.0.0.0"}});
    first.address = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    first.gateways = {Ip("192.168.1.1"), Ip("192.168.1.254")};
    auto second = Adapter("eth1", 3, kUpRunning);
    return {first, second};
}

constexpr ULONG kRecord = sizeof(IP_ADAPTER_INFO);
constexpr ULONG kEntry = sizeof(IP_ADDR_STRING);

TEST(AdapterBuffer, NullBufferTellsTheLengthNeeded)
{
    ULONG length = 0;
    EXPECT_EQ(orvane::adapters::WriteAdapterInfo(TwoAdapters(), nullptr, &length), ERROR_BUFFER_OVERFLOW);
    // Two records, one more address and one more gateway for the first.
    EXPECT_EQ(length, 2 * kRecord + 2 * kEntry);
    EXPECT_EQ(orvane::adapters::RequiredLength(TwoAdapters()), length);

    length = 12345;  // a stale length with a null buffer is still a null buffer
    EXPECT_EQ(orvane::adapters::WriteAdapterInfo(TwoAdapters(), nullptr, &length), ERROR_BUFFER_OVERFLOW);
    EXPECT_EQ(length, 2 * kRecord + 2 * kEntry);
}

TEST(AdapterBuffer, OneByteShortIsRefusedAndUntouched)
{
    const ULONG needed = orvane::adapters::RequiredLength(TwoAdapters());
    std::vector<IP_ADAPTER_INFO> storage(needed / kRecord + 1);
    auto* bytes = reinterpret_cast<unsigned char*>(storage.data());
    std::memset(bytes, 0xAA, needed);
    ULONG length = needed - 1;
    EXPECT_EQ(orvane::adapters::WriteAdapterInfo(TwoAdapters(), storage.data(), &length),
              ERROR_BUFFER_OVERFLOW);
    EXPECT_EQ(length, needed);
    for (ULONG i = 0; i < needed; ++i)
        ASSERT_EQ(bytes[i], 0xAA) << "byte " << i;
}

TEST(AdapterBuffer, ExactSizeHoldsTheWholeChainInsideTheBuffer)
{
    const ULONG needed = orvane::adapters::RequiredLength(TwoAdapters());
    // One spare record's room behind the exact length, to catch writes past it.
    std::vector<IP_ADAPTER_INFO> storage(needed / kRecord + 2);
    auto* bytes = reinterpret_cast<unsigned char*>(storage.data());
    std::memset(bytes, 0xAA, storage.size() * kRecord);
    ULONG length = needed;
    ASSERT_EQ(orvane::adapters::WriteAdapterInfo(TwoAdapters(), storage.data(), &length), NO_ERROR);
    EXPECT_EQ(length, needed);
    for (std::size_t i = needed; i < storage.size() * kRecord; ++i)
        ASSERT_EQ(bytes[i], 0xAA) << "written past the length at " << i;

    const auto inside = [&](const void* p, std::size_t size) {
        const auto* at = static_cast<const unsigned char*>(p);
        return at >= bytes && at + size <= bytes + needed;
    };

    const IP_ADAPTER_INFO* first = storage.data();
    ASSERT_TRUE(inside(first->Next, kRecord));
    const IP_ADAPTER_INFO* second = first->Next;
    EXPECT_EQ(second, storage.data() + 1) << "records lie as an array";
    EXPECT_EQ(second->Next, nullptr);

    EXPECT_STREQ(first->AdapterName, "eth0");
    EXPECT_EQ(first->Index, 2u);
    EXPECT_EQ(first->AddressLength, 6u);
    const BYTE mac[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    EXPECT_EQ(std::memcmp(first->Address, mac, 6), 0);
    EXPECT_EQ(first->Address[6], 0);
    EXPECT_EQ(first->Address[7], 0);
    EXPECT_EQ(first->Type, 6u);

    EXPECT_STREQ(first->IpAddressList.IpAddress.String, "192.168.1.23");
    EXPECT_STREQ(first->IpAddressList.IpMask.String, "255.255.255.0");
    ASSERT_TRUE(inside(first->IpAddressList.Next, kEntry));
    const IP_ADDR_STRING* secondAddress = first->IpAddressList.Next;
    EXPECT_STREQ(secondAddress->IpAddress.String, "10.0.0.7");
    EXPECT_STREQ(secondAddress->IpMask.String, "255.0.0.0");
    EXPECT_EQ(secondAddress->Next, nullptr);

    EXPECT_STREQ(first->GatewayList.IpAddress.String, "192.168.1.1");
    ASSERT_TRUE(inside(first->GatewayList.Next, kEntry));
    EXPECT_STREQ(first->GatewayList.Next->IpAddress.String, "192.168.1.254");
    EXPECT_EQ(first->GatewayList.Next->Next, nullptr);
    EXPECT_NE(first->GatewayList.Next, secondAddress);

    EXPECT_STREQ(second->AdapterName, "eth1");
    EXPECT_EQ(second->IpAddressList.Next, nullptr);
    EXPECT_EQ(second->GatewayList.Next, nullptr);
    EXPECT_EQ(first->CurrentIpAddress, nullptr);
}

TEST(AdapterBuffer, AdapterWithoutIpv4OrGatewayListsZeroAddresses)
{
    std::vector<IP_ADAPTER_INFO> storage(1);
    std::vector<AdapterFacts> bare = {Adapter("eth1", 3, kUpRunning)};
    ULONG length = kRecord;
    ASSERT_EQ(orvane::adapters::WriteAdapterInfo(bare, storage.data(), &length), NO_ERROR);
    const IP_ADAPTER_INFO& record = storage[0];
    EXPECT_EQ(record.Next, nullptr);
    EXPECT_STREQ(record.IpAddressList.IpAddress.String, "0.0.0.0");
    EXPECT_STREQ(record.IpAddressList.IpMask.String, "0.0.0.0");
    EXPECT_STREQ(record.GatewayList.IpAddress.String, "0.0.0.0");
    EXPECT_EQ(record.IpAddressList.Next, nullptr);
    EXPECT_EQ(record.GatewayList.Next, nullptr);
}

TEST(AdapterBuffer, NoAdapterIsNoDataWhateverTheBuffer)
{
    ULONG length = 0;
    EXPECT_EQ(orvane::adapters::WriteAdapterInfo({}, nullptr, &length), ERROR_NO_DATA);
    IP_ADAPTER_INFO one;
    length = sizeof one;
    EXPECT_EQ(orvane::adapters::WriteAdapterInfo({}, &one, &length), ERROR_NO_DATA);
    EXPECT_EQ(orvane::adapters::WriteAdapterInfo(TwoAdapters(), &one, nullptr), ERROR_INVALID_PARAMETER);
}

TEST(AdapterBuffer, TextsAreAlwaysTerminated)
{
    auto adapter =
        Adapter("a-very-long-name-for-an-interface", 9, kUpRunning, {{"255.255.255.255", "255.255.255.255"}});
    adapter.gateways = {Ip("255.255.255.254")};
    std::vector<IP_ADAPTER_INFO> storage(1);
    ULONG length = kRecord;
    ASSERT_EQ(orvane::adapters::WriteAdapterInfo({adapter}, storage.data(), &length), NO_ERROR);
    EXPECT_STREQ(storage[0].AdapterName, "a-very-long-name-for-an-interface");
    EXPECT_STREQ(storage[0].IpAddressList.IpAddress.String, "255.255.255.255");
    EXPECT_STREQ(storage[0].GatewayList.IpAddress.String, "255.255.255.254");
}

}  // namespace
