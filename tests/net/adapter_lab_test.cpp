// GetAdaptersInfo against real kernel state: lab namespaces built by
// tools/orvane-lab with the topology each test is registered with
// (tests/net/CMakeLists.txt). These tests only read the adapter list.
#include "platform/net/iphlpapi.h"
#include "tests/support/lab.h"
#include "tools/labguard.h"

#include <gtest/gtest.h>
#include <net/if.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

using namespace labtest;

#ifndef ORVANE_ADAPTER_DUMP
#error "ORVANE_ADAPTER_DUMP must name the adapter-dump program"
#endif

class AdapterLab : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (LabEnv("ORVANE_LAB").empty() || geteuid() != 0)
            GTEST_SKIP() << "needs a lab: run through tools/orvane-lab as root";
        // Reading the adapter list sends nothing, so a namespace that is not
        // the machine's own is all the guard must establish: the
        // single-adapter lab's client deliberately carries 00:1A:2B:3C:4D:5E,
        // which lacks the lab prefix the full guard insists on.
        const std::string problem = NotInitialNamespaceProblem();
        ASSERT_TRUE(problem.empty()) << problem;
    }

    // The two calls the program makes: learn the length, then fill.
    DWORD Query(std::vector<IP_ADAPTER_INFO>& storage, ULONG& length)
    {
        length = 0;
        const DWORD first = GetAdaptersInfo(nullptr, &length);
        if (first != ERROR_BUFFER_OVERFLOW)
            return first;
        storage.assign(length / sizeof(IP_ADAPTER_INFO) + 1, IP_ADAPTER_INFO{});
        return GetAdaptersInfo(storage.data(), &length);
    }
};

TEST_F(AdapterLab, SingleAdapterRecord)
{
    std::vector<IP_ADAPTER_INFO> storage;
    ULONG length = 0;
    ASSERT_EQ(Query(storage, length), NO_ERROR);
    const IP_ADAPTER_INFO& record = storage[0];
    EXPECT_EQ(record.Next, nullptr) << "loopback must not be listed";
    EXPECT_STREQ(record.AdapterName, "eth0");
    EXPECT_EQ(record.Index, if_nametoindex("eth0"));
    EXPECT_EQ(record.AddressLength, 6u);
    EXPECT_EQ(MacText(record.Address, 6), "00:1a:2b:3c:4d:5e");
    EXPECT_STREQ(record.IpAddressList.IpAddress.String, "192.168.1.23");
    EXPECT_STREQ(record.IpAddressList.IpMask.String, "255.255.255.0");
    EXPECT_EQ(record.IpAddressList.Next, nullptr);
    EXPECT_STREQ(record.GatewayList.IpAddress.String, "192.168.1.1");
    EXPECT_EQ(record.GatewayList.Next, nullptr);
}

TEST_F(AdapterLab, BufferProtocolAgainstTheKernel)
{
    ULONG needed = 0;
    ASSERT_EQ(GetAdaptersInfo(nullptr, &needed), ERROR_BUFFER_OVERFLOW);
    ASSERT_GE(needed, sizeof(IP_ADAPTER_INFO));
    std::vector<IP_ADAPTER_INFO> storage(needed / sizeof(IP_ADAPTER_INFO) + 1);
    ULONG length = needed - 1;
    EXPECT_EQ(GetAdaptersInfo(storage.data(), &length), ERROR_BUFFER_OVERFLOW);
    EXPECT_EQ(length, needed);
    length = needed;
    EXPECT_EQ(GetAdaptersInfo(storage.data(), &length), NO_ERROR);
    EXPECT_EQ(GetAdaptersInfo(storage.data(), nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(AdapterLab, SeveralAdaptersDefaultRouteFirst)
{
    // eth0: 192.168.1.23/24 and 192.168.1.77/24, no default route;
    // a0: 10.9.0.5/16 with the default route via 10.9.0.1 (a higher index
    // than eth0); b0: up, no IPv4; d0: 172.16.0.5/24 but down.
    ASSERT_LT(if_nametoindex("eth0"), if_nametoindex("a0")) << "lab layout changed; the order test needs it";
    std::vector<IP_ADAPTER_INFO> storage;
    ULONG length = 0;
    ASSERT_EQ(Query(storage, length), NO_ERROR);
    const std::string expected = "adapter a0 index " + std::to_string(if_nametoindex("a0")) +
                                 " mac 02:4f:52:00:01:21\n"
                                 "  ip 10.9.0.5 255.255.0.0\n"
                                 "  gateway 10.9.0.1\n"
                                 "adapter eth0 index " +
                                 std::to_string(if_nametoindex("eth0")) +
                                 " mac 02:4f:52:00:01:17\n"
                                 "  ip 192.168.1.23 255.255.255.0\n"
                                 "  ip 192.168.1.77 255.255.255.0\n"
                                 "  gateway 0.0.0.0\n"
                                 "adapter b0 index " +
                                 std::to_string(if_nametoindex("b0")) +
                                 " mac 02:4f:52:00:01:22\n"
                                 "  ip 0.0.0.0 0.0.0.0\n"
                                 "  gateway 0.0.0.0\n"
                                 "adapter d0 index " +
                                 std::to_string(if_nametoindex("d0")) +
                                 " mac 02:4f:52:00:01:23\n"
                                 "  ip 172.16.0.5 255.255.255.0\n"
                                 "  gateway 0.0.0.0\n";
    EXPECT_EQ(DescribeAdapters(storage.data()), expected);
}

TEST_F(AdapterLab, OrdinaryUserSeesTheSameRecords)
{
    std::vector<IP_ADAPTER_INFO> storage;
    ULONG length = 0;
    ASSERT_EQ(Query(storage, length), NO_ERROR);
    const Captured dump = RunCaptured(AsOrdinaryUser({ORVANE_ADAPTER_DUMP}));
    ASSERT_EQ(dump.status, 0) << dump.out;
    EXPECT_EQ(dump.out, "first 111 length " + std::to_string(length) + "\nsecond 0\n" +
                            DescribeAdapters(storage.data()));
}

TEST_F(AdapterLab, OnlyLoopbackIsNoData)
{
    ULONG length = 0;
    EXPECT_EQ(GetAdaptersInfo(nullptr, &length), ERROR_NO_DATA);
    IP_ADAPTER_INFO one{};
    length = sizeof one;
    EXPECT_EQ(GetAdaptersInfo(&one, &length), ERROR_NO_DATA);
    const Captured dump = RunCaptured(AsOrdinaryUser({ORVANE_ADAPTER_DUMP}));
    EXPECT_EQ(dump.out, "first 232 length 0\n");
}

}  // namespace
