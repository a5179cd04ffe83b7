// The adapter order shared by every system, and the system's records handed
// on in that order. Window- and network-free: runs on Linux and under Wine.
#include "platform/net/adapter_order.h"
#include "platform/net/adapter_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using orvane::adapters::OrderFacts;

constexpr OrderFacts kActive{true, false, 0};
constexpr OrderFacts kDown{false, false, 0};
constexpr OrderFacts Default(std::uint32_t metric, bool active = true)
{
    return {active, true, metric};
}

struct OrderCase {
    const char* name;
    std::vector<OrderFacts> adapters;  // in the system's order
    std::vector<std::size_t> expected;
};

TEST(ShownOrder, DefaultRouteFirstThenSystemOrderDownLast)
{
    const OrderCase cases[] = {
        {"a host-only adapter listed first without a default route", {kActive, Default(25)}, {1, 0}},
        {"two default routes: the lower metric leads", {Default(50), kActive, Default(10)}, {2, 0, 1}},
        {"equal metrics: the system's first", {kActive, Default(10), Default(10)}, {1, 0, 2}},
        {"an adapter that is down goes last", {kDown, kActive, Default(5), kActive}, {2, 1, 3, 0}},
        {"a default route through a down adapter leads nothing", {Default(1, false), kActive}, {1, 0}},
        {"no default route: the system's order", {kActive, kDown, kActive}, {0, 2, 1}},
        {"none", {}, {}},
    };
    for (const OrderCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(orvane::adapters::ShownOrder(c.adapters), c.expected);
    }
}

// --- the system's records, reordered ---------------------------------------

void Put(IP_ADDR_STRING& entry, const char* address, const char* mask)
{
    std::strcpy(entry.IpAddress.String, address);
    std::strcpy(entry.IpMask.String, mask);
}

// Two records as a system lays them out: the second with a second address
// and a second gateway in entries of their own.
struct SystemChain {
    IP_ADAPTER_INFO records[2];
    IP_ADDR_STRING extraAddress, extraGateway;

    SystemChain()
    {
        std::memset(static_cast<void*>(this), 0, sizeof *this);
        records[0].Next = &records[1];
        std::strcpy(records[0].AdapterName, "host-only");
        records[0].Index = 7;
        Put(records[0].IpAddressList, "192.168.56.1", "255.255.255.0");
        std::strcpy(records[1].AdapterName, "lan");
        records[1].Index = 3;
        records[1].AddressLength = 6;
        const BYTE mac[6] = {0x02, 0x4f, 0x52, 0x00, 0x01, 0x17};
        std::memcpy(records[1].Address, mac, 6);
        Put(records[1].IpAddressList, "192.168.1.23", "255.255.255.0");
        records[1].IpAddressList.Next = &extraAddress;
        Put(extraAddress, "10.0.0.7", "255.0.0.0");
        Put(records[1].GatewayList, "192.168.1.1", "255.255.255.255");
        records[1].GatewayList.Next = &extraGateway;
        Put(extraGateway, "192.168.1.254", "255.255.255.255");
        records[1].CurrentIpAddress = &extraAddress;
    }
};

constexpr ULONG kRecord = sizeof(IP_ADAPTER_INFO);
constexpr ULONG kEntry = sizeof(IP_ADDR_STRING);
// Windows defines the codes as long.
constexpr DWORD kOverflow = ERROR_BUFFER_OVERFLOW, kNoData = ERROR_NO_DATA,
                kInvalid = ERROR_INVALID_PARAMETER, kDone = NO_ERROR;

TEST(AdapterRecords, BufferProtocol)
{
    const SystemChain chain;
    const auto records = orvane::adapters::ChainRecords(chain.records);
    ASSERT_EQ(records.size(), 2u);
    const ULONG needed = 2 * kRecord + 2 * kEntry;
    EXPECT_EQ(orvane::adapters::RecordsLength(records), needed);

    ULONG length = 0;
    EXPECT_EQ(orvane::adapters::CopyAdapterRecords(records, nullptr, &length), kOverflow);
    EXPECT_EQ(length, needed);
    std::vector<IP_ADAPTER_INFO> storage(3);
    length = needed - 1;
    EXPECT_EQ(orvane::adapters::CopyAdapterRecords(records, storage.data(), &length), kOverflow);
    EXPECT_EQ(length, needed);
    EXPECT_EQ(orvane::adapters::CopyAdapterRecords({}, storage.data(), &length), kNoData);
    EXPECT_EQ(orvane::adapters::CopyAdapterRecords(records, storage.data(), nullptr), kInvalid);
}

TEST(AdapterRecords, ReorderedCopiesPointOnlyIntoTheBuffer)
{
    SystemChain chain;
    const auto records = orvane::adapters::ChainRecords(chain.records);
    const ULONG needed = orvane::adapters::RecordsLength(records);
    // A spare record's room behind the length, to catch writes past it.
    std::vector<IP_ADAPTER_INFO> storage(needed / kRecord + 2);
    auto* bytes = reinterpret_cast<unsigned char*>(storage.data());
    std::memset(bytes, 0xAA, storage.size() * kRecord);
    ULONG length = needed;
    ASSERT_EQ(orvane::adapters::CopyAdapterRecords({records[1], records[0]}, storage.data(), &length), kDone);
    // The system's chain is gone before the copy is read.
    std::memset(static_cast<void*>(&chain), 0, sizeof chain);
    for (std::size_t i = needed; i < storage.size() * kRecord; ++i)
        ASSERT_EQ(bytes[i], 0xAA) << "written past the length at " << i;
    const auto inside = [&](const void* p, std::size_t size) {
        const auto* at = static_cast<const unsigned char*>(p);
        return at >= bytes && at + size <= bytes + needed;
    };

    const IP_ADAPTER_INFO& first = storage[0];
    EXPECT_STREQ(first.AdapterName, "lan");
    EXPECT_EQ(first.Index, 3u);
    const BYTE mac[6] = {0x02, 0x4f, 0x52, 0x00, 0x01, 0x17};
    EXPECT_EQ(std::memcmp(first.Address, mac, 6), 0);
    EXPECT_STREQ(first.IpAddressList.IpAddress.String, "192.168.1.23");
    ASSERT_TRUE(inside(first.IpAddressList.Next, kEntry));
    EXPECT_STREQ(first.IpAddressList.Next->IpAddress.String, "10.0.0.7");
    EXPECT_STREQ(first.IpAddressList.Next->IpMask.String, "255.0.0.0");
    EXPECT_EQ(first.IpAddressList.Next->Next, nullptr);
    EXPECT_EQ(first.CurrentIpAddress, first.IpAddressList.Next);
    EXPECT_STREQ(first.GatewayList.IpAddress.String, "192.168.1.1");
    ASSERT_TRUE(inside(first.GatewayList.Next, kEntry));
    EXPECT_STREQ(first.GatewayList.Next->IpAddress.String, "192.168.1.254");
    EXPECT_EQ(first.GatewayList.Next->Next, nullptr);

    ASSERT_EQ(first.Next, &storage[1]);
    const IP_ADAPTER_INFO& second = storage[1];
    EXPECT_STREQ(second.AdapterName, "host-only");
    EXPECT_STREQ(second.IpAddressList.IpAddress.String, "192.168.56.1");
    EXPECT_EQ(second.IpAddressList.Next, nullptr);
    EXPECT_EQ(second.GatewayList.Next, nullptr);
    EXPECT_EQ(second.CurrentIpAddress, nullptr);
    EXPECT_EQ(second.Next, nullptr);
}

}  // namespace
