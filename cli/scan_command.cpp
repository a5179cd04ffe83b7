// orvane scan: the dialog's sweep loop, its rows printed as lines.
#include "cli/commands.h"
#include "cli/dotted.h"
#include "net/globals.h"
#include "net/remembered_hosts.h"
#include "net/sweep.h"
#include "platform/base/afxstop.h"
#include "platform/base/console.h"

namespace {

// Prints each row the sweep adds as one line, so that a pipe sees each host
// the moment it answers; the row's two texts arrive in two calls.
class CHostLinePrinter {
public:
    CHostLinePrinter(std::FILE* out, std::FILE* progress, afx::StopToken& stop)
        : m_out(out), m_progress(progress), m_stop(stop)
    {}

    int InsertItem(int, const char* ipText)
    {
        m_ip = ipText;
        return 0;
    }
    BOOL SetItemText(int, int, const char* macText)
    {
        ClearProgress();
        std::fprintf(m_out, "%s\t%s\n", m_ip.c_str(), macText);
        // Nobody reads any more (a closed pipe, a full disk): the sweep ends
        // here, and what it found is still remembered.
        if (!afx::OutputReached(m_out)) {
            m_failed = true;
            m_stop.Request();
        }
        return TRUE;
    }

    void ShowProgress(IPAddr asking, long n, long count)
    {
        if (!m_progress)
            return;
        char line[96];
        const int length =
            std::snprintf(line, sizeof line, "asking %s (%ld of %ld)", Dotted(asking).c_str(), n, count);
        // Blanks over what a longer line left.
        std::fprintf(m_progress, "\r%s%*s", line, m_shown > length ? m_shown - length : 0, "");
        std::fflush(m_progress);
        m_shown = length;
    }
    void ClearProgress()
    {
        if (!m_progress || m_shown == 0)
            return;
        std::fprintf(m_progress, "\r%*s\r", m_shown, "");
        std::fflush(m_progress);
        m_shown = 0;
    }

    bool Failed() const { return m_failed; }

private:
    std::FILE* m_out;
    std::FILE* m_progress;
    afx::StopToken& m_stop;
    bool m_failed = false;
    std::string m_ip;
    int m_shown = 0;
};

}  // namespace

CommandOutcome ScanSubnet(const LocalAdapter& adapter, std::FILE* out, std::FILE* progress)
{
    CommandOutcome outcome;
    if (adapter.ip == 0) {
        outcome.failures.push_back(adapter.name + " has no IPv4 address to sweep the subnet of");
        return outcome;
    }
    // The sweep reads the subnet from here, as the dialog's worker does.
    g_localIp = adapter.ip;
    g_localMask = adapter.mask;
    g_scanIdle.store(0);

    // An interrupt cuts the probe in progress short and ends the loop.
    afx::StopToken stop;
    afx::StopToken::Install(&stop);
    afx::StopOnInterrupt(&stop);

    CHostLinePrinter printer(out, progress, stop);
    CSweptHosts swept(adapter.name);
    const ULONG network = ntohl(adapter.ip & adapter.mask);
    const long count = static_cast<long>(static_cast<LONG>(~ntohl(adapter.mask) - 1));
    auto resolver = [&](IPAddr destination, IPAddr source, void* mac, ULONG* length) {
        printer.ShowProgress(destination, static_cast<long>(ntohl(destination) - network), count);
        const DWORD result = SendARP(destination, source, mac, length);
        if (result == NO_ERROR)
            swept.Add(destination, mac);
        return result;
    };
    SweepSubnet(
        printer, resolver, [](DWORD ms) { afx::SleepUnlessStopped(ms); },
        [] { return afx::StopRequested(); });
    printer.ClearProgress();
    if (printer.Failed())
        outcome.failures.push_back("write error");

    std::string error;
    if (!RememberHosts(swept.Hosts(), error, outcome.warnings))
        outcome.failures.push_back("cannot remember the hosts found: " + error);
    // Also an interrupt that came while the hosts were being written.
    outcome.interrupted = afx::Interrupted();
    afx::StopOnInterrupt(nullptr);
    afx::StopToken::Install(nullptr);
    return outcome;
}
