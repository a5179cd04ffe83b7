// Sweep benchmark: runs the subnet sweep against a lab and prints where the
// time goes. Run it inside a lab client namespace (bench/run-sweep-bench.sh).
//
// With a display it runs the sweep into a real list control and measures
// the UI thread's longest stall; without one it records the rows in memory.
#include "net/globals.h"
#include "net/sweep.h"
#include "platform/net/iphlpapi.h"
#include "platform/ui/afxinit.h"
#include "platform/ui/afxwin.h"
#include "platform/ui/uicall.h"
#include "tools/labguard.h"

#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/listctrl.h>
#include <wx/timer.h>

#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Times each probe; an answered probe's cost includes the pause after it.
struct ProbeLog {
    std::vector<double> silent;
    std::vector<double> answered;
    Clock::time_point probeStart;
    bool lastAnswered = false;
    Clock::time_point begin, end;
};

struct MemoryList {
    int rows = 0;
    int InsertItem(int, const char*) { return ++rows, 0; }
    BOOL SetItemText(int, int, const char*) { return TRUE; }
};

template <class List> UINT TimedSweep(List& list, ProbeLog& log)
{
    auto arp = [&log](IPAddr dest, IPAddr src, void* mac, ULONG* len) {
        log.probeStart = Clock::now();
        const DWORD rc = SendARP(dest, src, mac, len);
        log.lastAnswered = rc == NO_ERROR;
        if (!log.lastAnswered)
            log.silent.push_back(Ms(Clock::now() - log.probeStart));
        return rc;
    };
    auto pause = [&log](DWORD ms) {
        Sleep(ms);
        log.answered.push_back(Ms(Clock::now() - log.probeStart));
    };
    log.begin = Clock::now();
    const UINT rc = SweepSubnet(list, arp, pause, [] { return false; });
    log.end = Clock::now();
    return rc;
}

// Runs arp-scan on the same adapter, when it is installed: the same lab,
// the same run, for comparison.
double ArpScanSeconds(const std::string& iface)
{
    if (access("/usr/sbin/arp-scan", X_OK) != 0)
        return -1;
    std::fflush(stdout);  // the child must not print our buffered lines again
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        freopen("/dev/null", "w", stdout);
        execl("/usr/sbin/arp-scan", "arp-scan", "--quiet", "--interface", iface.c_str(), "--localnet",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return Ms(Clock::now() - start) / 1000.0;
}

class StallMeter : public wxTimer {
public:
    explicit StallMeter(wxEventLoop& loop) : m_loop(loop) {}
    void Notify() override
    {
        const auto now = Clock::now();
        if (m_last != Clock::time_point{})
            m_worst = std::max(m_worst, Ms(now - m_last));
        m_last = now;
        if (g_scanIdle.load() == 1)
            m_loop.Exit();
    }
    double Worst() const { return m_worst; }

private:
    wxEventLoop& m_loop;
    Clock::time_point m_last{};
    double m_worst = 0;
};

}  // namespace

int main()
{
    RequireLabNamespace("sweep_bench");

    ULONG len = 0;
    GetAdaptersInfo(nullptr, &len);
    std::vector<unsigned char> buffer(len ? len : 1);
    auto* info = reinterpret_cast<PIP_ADAPTER_INFO>(buffer.data());
    if (GetAdaptersInfo(info, &len) != NO_ERROR) {
        std::fprintf(stderr, "sweep_bench: no adapter\n");
        return 2;
    }
    g_localIp = inet_addr(info->IpAddressList.IpAddress.String);
    g_localMask = inet_addr(info->IpAddressList.IpMask.String);
    const std::string iface = info->AdapterName;
    std::printf("adapter %s %s/%s\n", iface.c_str(), info->IpAddressList.IpAddress.String,
                info->IpAddressList.IpMask.String);

    ProbeLog log;
    double stallMs = -1;
    g_scanIdle.store(0);

    char name[] = "sweep_bench";
    char* args[] = {name, nullptr};
    int count = 1;
    const bool gui = std::getenv("DISPLAY") != nullptr && AfxFrameworkStart(count, args);
    if (gui) {
        auto* frame = new wxFrame(nullptr, wxID_ANY, wxString::FromUTF8("sweep bench"));
        auto* wxList = new wxListCtrl(frame, wxID_ANY, wxDefaultPosition, wxSize(400, 400), wxLC_REPORT);
        wxList->AppendColumn(wxString::FromUTF8("IP"));
        wxList->AppendColumn(wxString::FromUTF8("MAC"));
        frame->Show();
        auto lifeline = std::make_shared<int>(0);
        CListCtrl list;
        list.Bind(wxList, lifeline);
        std::thread worker([&] { TimedSweep(list, log); });
        wxEventLoop loop;
        StallMeter meter(loop);
        meter.Start(1);
        loop.Run();
        meter.Stop();
        worker.join();
        stallMs = meter.Worst();
        lifeline.reset();
        list.Bind(nullptr, {});
        frame->Destroy();
        afx::BeginProcessEnd();
        AfxFrameworkEnd();
    } else {
        MemoryList list;
        TimedSweep(list, log);
    }
    const double total = Ms(log.end - log.begin) / 1000.0;

    const double floor = log.silent.size() * 0.100 + log.answered.size() * 0.050;
    std::printf("probes %zu: answered %zu, silent %zu\n", log.silent.size() + log.answered.size(),
                log.answered.size(), log.silent.size());
    std::printf("total wall time        %.3f s\n", total);
    std::printf("per silent address     %.2f ms (median)\n", Median(log.silent));
    std::printf("per answering address  %.2f ms (median, incl. 50 ms pause)\n", Median(log.answered));
    std::printf("floor                  %.3f s (silent x 100 ms + answering x 50 ms)\n", floor);
    std::printf("ratio to floor         %.4f\n", floor > 0 ? total / floor : 0.0);
    if (stallMs >= 0)
        std::printf("UI longest stall       %.2f ms\n", stallMs);
    else
        std::printf("UI longest stall       n/a (no display)\n");
    const double arpScan = ArpScanSeconds(iface);
    if (arpScan >= 0)
        std::printf("arp-scan same lab      %.3f s\n", arpScan);
    else
        std::printf("arp-scan same lab      n/a\n");
    return 0;
}
