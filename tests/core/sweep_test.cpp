#include "net/sweep.h"

#include "platform/base/afxstop.h"
#include "platform/base/afxthread.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

IPAddr Ip(const char* dotted)
{
    return inet_addr(dotted);
}

std::string Dotted(IPAddr a)
{
    in_addr x{};
    x.s_addr = a;
    return inet_ntoa(x);
}

// Records what the sweep does to the list, in order.
struct RecordingList {
    std::vector<std::vector<std::string>> rows;  // row 0 is the top
    std::vector<std::string> calls;
    int InsertItem(int item, const char* text)
    {
        calls.push_back("insert " + std::to_string(item) + " " + text);
        rows.insert(rows.begin() + item, std::vector<std::string>{text, ""});
        return item;
    }
    int SetItemText(int item, int sub, const char* text)
    {
        calls.push_back("set " + std::to_string(item) + "," + std::to_string(sub) + " " + text);
        rows.at(item).at(sub) = text;
        return 1;
    }
};

// An ARP service that answers from a table and records every probe.
struct FakeArp {
    struct Answer {
        std::vector<BYTE> bytes;  // what it writes (may be fewer than 6)
    };
    std::map<std::string, Answer> table;
    std::vector<std::string> probes;
    DWORD operator()(IPAddr dest, IPAddr source, void* mac, ULONG* length)
    {
        EXPECT_EQ(source, 0u);
        EXPECT_EQ(*length, 6u);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(static_cast<BYTE*>(mac)[i], 0) << "buffer not cleared before a probe";
        probes.push_back(Dotted(dest));
        auto it = table.find(Dotted(dest));
        if (it == table.end())
            return ERROR_BAD_NET_NAME;
        for (size_t i = 0; i < it->second.bytes.size(); ++i)
            static_cast<BYTE*>(mac)[i] = it->second.bytes[i];
        *length = static_cast<ULONG>(it->second.bytes.size());
        return NO_ERROR;
    }
};

struct SweepRun {
    RecordingList list;
    FakeArp arp;
    std::vector<DWORD> pauses;
    UINT exitCode = 0;
    int stopAfterProbes = -1;  // the stop request comes after this many probes

    void Run(const char* ip, const char* mask)
    {
        g_localIp = Ip(ip);
        g_localMask = Ip(mask);
        g_scanIdle.store(0);
        exitCode = SweepSubnet(
            list, arp, [this](DWORD ms) { pauses.push_back(ms); },
            [this] {
                return stopAfterProbes >= 0 && static_cast<int>(arp.probes.size()) >= stopAfterProbes;
            });
    }
};

TEST(Sweep, ProbesEveryHostAddressInRisingOrderAndListsNewestFirst)
{
    SweepRun run;
    run.arp.table["192.168.1.1"] = {{0x02, 0x4F, 0x52, 0x00, 0x00, 0x01}};
    run.arp.table["192.168.1.23"] = {{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}};
    run.arp.table["192.168.1.100"] = {{0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}};
    run.Run("192.168.1.23", "255.255.255.0");

    ASSERT_EQ(run.arp.probes.size(), 254u);
    for (int i = 0; i < 254; ++i)
        EXPECT_EQ(run.arp.probes[i], "192.168.1." + std::to_string(i + 1));

    const std::vector<std::vector<std::string>> expected = {
        {"192.168.1.100", "AA-BB-CC-DD-EE-FF"},
        {"192.168.1.23", "00-1A-2B-3C-4D-5E"},
        {"192.168.1.1", "02-4F-52-00-00-01"},
    };
    EXPECT_EQ(run.list.rows, expected);
    // Each answer: a row at the top, then its column 1.
    EXPECT_EQ(run.list.calls[0], "insert 0 192.168.1.1");
    EXPECT_EQ(run.list.calls[1], "set 0,1 02-4F-52-00-00-01");
    // One 50 ms pause per answer and none after a silent address.
    EXPECT_EQ(run.pauses, (std::vector<DWORD>{50, 50, 50}));
    EXPECT_EQ(g_scanIdle.load(), 1);
    EXPECT_EQ(run.exitCode, 1u);
}

// The worker's last work (remembering the hosts) comes before the flag that
// lets the next sweep start.
TEST(Sweep, LastWorkComesBeforeTheIdleFlag)
{
    RecordingList list;
    FakeArp arp;
    g_localIp = Ip("10.0.0.5");
    g_localMask = Ip("255.255.255.252");
    g_scanIdle.store(0);
    int idleSeenByLastWork = -1;
    SweepSubnet(
        list, arp, [](DWORD) {}, [] { return false; }, [&] { idleSeenByLastWork = g_scanIdle.load(); });
    EXPECT_EQ(idleSeenByLastWork, 0);
    EXPECT_EQ(g_scanIdle.load(), 1);
}

TEST(Sweep, SubnetSizesFollowTheMask)
{
    struct Case {
        const char* ip;
        const char* mask;
        std::vector<std::string> probes;
    };
    const Case cases[] = {
        {"10.0.0.5", "255.255.255.252", {"10.0.0.5", "10.0.0.6"}},
        {"10.0.0.4", "255.255.255.254", {}},  // /31: count 0
        {"10.0.0.4", "255.255.255.255", {}},  // /32: count -1
        {"0.0.0.0", "0.0.0.0", {}},           // failed adapter query: count -2
        {"10.9.8.7", "0.0.0.0", {}},          // a zero mask probes nothing either
        {"172.16.5.9",
         "255.255.255.248",
         {"172.16.5.9", "172.16.5.10", "172.16.5.11", "172.16.5.12", "172.16.5.13", "172.16.5.14"}},
    };
    for (const auto& c : cases) {
        SweepRun run;
        run.Run(c.ip, c.mask);
        EXPECT_EQ(run.arp.probes, c.probes) << c.ip << "/" << c.mask;
        EXPECT_TRUE(run.list.rows.empty());
        EXPECT_EQ(g_scanIdle.load(), 1) << "the flag must return to idle";
    }
}

TEST(Sweep, SixteenBitSubnetCountsAllHosts)
{
    SweepRun run;
    run.Run("10.1.2.3", "255.255.0.0");
    ASSERT_EQ(run.arp.probes.size(), 65534u);
    EXPECT_EQ(run.arp.probes.front(), "10.1.0.1");
    EXPECT_EQ(run.arp.probes.back(), "10.1.255.254");
}

TEST(Sweep, ShortAnswerShowsMissingBytesAsZero)
{
    SweepRun run;
    run.arp.table["192.168.7.9"] = {{0x12, 0x34, 0x56}};  // only three bytes written
    run.arp.table["192.168.7.10"] = {{}};                 // an answer with no bytes at all
    run.Run("192.168.7.1", "255.255.255.0");
    const std::vector<std::vector<std::string>> expected = {
        {"192.168.7.10", "00-00-00-00-00-00"},
        {"192.168.7.9", "12-34-56-00-00-00"},
    };
    EXPECT_EQ(run.list.rows, expected);
}

// A stop request (the dialog closing) ends even a /8 sweep at once: no probe
// after it, and the worker still returns to idle.
TEST(Sweep, StopRequestEndsTheSweepBeforeTheNextProbe)
{
    for (int stopAfter : {0, 1, 3}) {
        SCOPED_TRACE(stopAfter);
        SweepRun run;
        run.arp.table["10.0.0.2"] = {{0x02, 0x4F, 0x52, 0x00, 0x00, 0x02}};
        run.stopAfterProbes = stopAfter;
        run.Run("10.0.0.1", "255.0.0.0");
        EXPECT_EQ(run.arp.probes.size(), static_cast<std::size_t>(stopAfter));
        EXPECT_EQ(g_scanIdle.load(), 1);
        EXPECT_EQ(run.exitCode, 1u);
    }
}

// Closing the dialog while the worker is blocked in an ARP request that
// cannot be cut short (Windows' SendARP): what the worker does after it.
struct BlockedClose {
    std::atomic<int> probes{0};
    std::atomic<bool> listFreed{false};
    std::atomic<int> listCallsAfterFree{0};
    std::atomic<bool> workerReturned{false};
} g_close;

struct WatchedList : RecordingList {
    ~WatchedList() { g_close.listFreed = true; }
    int InsertItem(int item, const char* text)
    {
        g_close.listCallsAfterFree += g_close.listFreed ? 1 : 0;
        return RecordingList::InsertItem(item, text);
    }
    int SetItemText(int item, int sub, const char* text)
    {
        g_close.listCallsAfterFree += g_close.listFreed ? 1 : 0;
        return RecordingList::SetItemText(item, sub, text);
    }
};

// Deaf to the stop until well after it, longer than the 5 s a close once
// waited before freeing the list anyway; then answers.
DWORD ArpThatCannotBeCutShort(IPAddr, IPAddr, void* mac, ULONG* length)
{
    ++g_close.probes;
    while (!afx::StopRequested())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::seconds(6));
    std::memset(mac, 0x02, 6);
    *length = 6;
    return NO_ERROR;
}

UINT BlockedSweepProc(LPVOID param)
{
    SweepSubnet(
        *static_cast<WatchedList*>(param), ArpThatCannotBeCutShort, [](DWORD ms) { Sleep(ms); },
        afx::StopRequested);
    g_close.workerReturned = true;
    return 1;
}

TEST(Sweep, ClosingWaitsForAProbeThatCannotBeCutShort)
{
    g_localIp = Ip("10.0.0.1");
    g_localMask = Ip("255.0.0.0");
    g_scanIdle.store(0);
    auto* list = new WatchedList;
    ASSERT_NE(AfxBeginThread(BlockedSweepProc, list), nullptr);
    while (g_close.probes == 0)
        std::this_thread::yield();
    // The dialog closes: its list asks the worker to stop and waits for it.
    afx::StopWorkersUsing(list);
    EXPECT_TRUE(g_close.workerReturned) << "the close did not wait for the worker";
    const bool listTouched = !list->calls.empty();
    delete list;
    EXPECT_EQ(g_close.probes, 1) << "a probe started after the stop";
    EXPECT_FALSE(listTouched) << "an answer that came after the stop was listed";
    EXPECT_EQ(g_close.listCallsAfterFree, 0);
    EXPECT_EQ(g_scanIdle.load(), 1);
}

#ifndef _WIN32
// Without an event descriptor (the system refused one) a stop request is
// still seen: the token falls back to its flag. (The descriptor limit is
// the Linux backend's.)
TEST(StopToken, WorksWithoutAnEventDescriptor)
{
    const int base = open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(base, 0);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    std::vector<int> filler;
    for (int fd; (fd = dup(base)) >= 0;)
        filler.push_back(fd);
    {
        afx::StopToken token;
        EXPECT_EQ(token.Handle(), afx::kNoStopHandle);
        afx::StopToken::Install(&token);
        EXPECT_FALSE(afx::StopRequested());
        token.Request();
        EXPECT_TRUE(afx::StopRequested());
        afx::StopToken::Install(nullptr);
    }
    for (int fd : filler)
        close(fd);
    close(base);
    setrlimit(RLIMIT_NOFILE, &saved);
}
#endif

}  // namespace
