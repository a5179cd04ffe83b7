// Stop benchmark: how long a sweep worker takes to end once its list goes
// away (the dialog closes) in the middle of a /8 sweep, and what a cancelled
// probe costs. Run it inside a lab client namespace whose adapter is a /8
// (bench/run-sweep-bench.sh does).
#include "net/globals.h"
#include "net/sweep.h"
#include "platform/base/afxstop.h"
#include "platform/net/iphlpapi.h"
#include "platform/ui/afxwin.h"
#include "tools/labguard.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

struct MemoryList {
    int rows = 0;
    int InsertItem(int, const char*) { return ++rows, 0; }
    BOOL SetItemText(int, int, const char*) { return TRUE; }
};

}  // namespace

int main()
{
    RequireLabNamespace("stop_bench");
    ULONG len = 0;
    GetAdaptersInfo(nullptr, &len);
    std::vector<unsigned char> buffer(len ? len : 1);
    auto* info = reinterpret_cast<PIP_ADAPTER_INFO>(buffer.data());
    if (GetAdaptersInfo(info, &len) != NO_ERROR) {
        std::fprintf(stderr, "stop_bench: no adapter\n");
        return 2;
    }
    g_localIp = inet_addr(info->IpAddressList.IpAddress.String);
    g_localMask = inet_addr(info->IpAddressList.IpMask.String);
    const unsigned hosts = ~ntohl(g_localMask) - 1;
    std::printf("adapter %s %s/%s: %u addresses\n", info->AdapterName, info->IpAddressList.IpAddress.String,
                info->IpAddressList.IpMask.String, hosts);

    // The worker as the dialog runs it, stopped as the closing list stops it.
    std::vector<double> exits;
    for (int run = 0; run < 5; ++run) {
        afx::StopToken token;
        std::atomic<int> probes{0};
        Clock::time_point returned;
        MemoryList list;
        g_scanIdle.store(0);
        std::thread worker([&] {
            afx::StopToken::Install(&token);
            auto arp = [&](IPAddr d, IPAddr s, void* mac, ULONG* length) {
                ++probes;
                return SendARP(d, s, mac, length);
            };
            SweepSubnet(
                list, arp, [](DWORD ms) { Sleep(ms); }, afx::StopRequested);
            returned = Clock::now();
            afx::StopToken::Install(nullptr);
        });
        while (probes.load() < 3)
            std::this_thread::yield();
        const auto stopAt = Clock::now();
        token.Request();
        worker.join();
        exits.push_back(Ms(returned - stopAt));
    }
    std::sort(exits.begin(), exits.end());
    std::printf("close during a /8 sweep -> worker ends   %.3f ms (median of 5, worst %.3f)\n", exits[2],
                exits.back());

    // What the rest of the /8 would have cost had the worker gone on
    // probing after the stop, each probe cancelled at once.
    afx::StopToken token;
    afx::StopToken::Install(&token);
    token.Request();
    constexpr int kCancelled = 100000;
    const auto start = Clock::now();
    for (int i = 0; i < kCancelled; ++i) {
        BYTE mac[6];
        ULONG length = 6;
        SendARP(htonl(ntohl(g_localIp) + 1), 0, mac, &length);
    }
    const double perProbe = Ms(Clock::now() - start) / kCancelled;
    afx::StopToken::Install(nullptr);
    std::printf("one cancelled probe                      %.4f ms\n", perProbe);
    std::printf("cancelled probes through the /8          %.1f s (had the sweep not stopped)\n",
                perProbe * hosts / 1000.0);
    return 0;
}
