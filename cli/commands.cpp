#include "cli/commands.h"

#include "net/globals.h"
#include "net/hosts_file.h"
#include "net/magic_packet.h"
#include "net/remembered_hosts.h"
#include "net/sweep.h"
#include "net/wake.h"
#include "platform/base/afxstop.h"
#include "platform/base/console.h"
#include "platform/net/neighbour.h"
#include "platform/net/winsock.h"

#include <cstring>

namespace {

std::string Dotted(IPAddr ip)
{
    in_addr a{};
    a.s_addr = ip;
    return inet_ntoa(a);
}

// The MAC for an address: last seen there by a sweep, else what the
// system's neighbour table holds.
bool MacForAddress(IPAddr ip, const std::vector<RememberedHost>& remembered, const LocalAdapter* adapter,
                   BYTE (&mac)[6])
{
    if (const RememberedHost* host = FindHost(remembered, ip)) {
        std::memcpy(mac, host->mac, 6);
        return true;
    }
    return adapter != nullptr && orvane::net::LookUpNeighbour(ip, adapter->index, mac);
}

// Prints each row the sweep adds as one line, so that a pipe sees each host
// the moment it answers; the row's two texts arrive in two calls.
class CHostLinePrinter {
public:
    CHostLinePrinter(std::FILE* out, std::FILE* progress) : m_out(out), m_progress(progress) {}

    int InsertItem(int, const char* ipText)
    {
        m_ip = ipText;
        return 0;
    }
    BOOL SetItemText(int, int, const char* macText)
    {
        ClearProgress();
        std::fprintf(m_out, "%s\t%s\n", m_ip.c_str(), macText);
        std::fflush(m_out);
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

private:
    std::FILE* m_out;
    std::FILE* m_progress;
    std::string m_ip;
    int m_shown = 0;
};

}  // namespace

CommandOutcome WakeTargets(const std::vector<WakeTarget>& targets, unsigned short port,
                           const LocalAdapter* adapter)
{
    CommandOutcome outcome;
    std::vector<RememberedHost> remembered;
    for (const WakeTarget& target : targets)
        if (target.kind != WakeTarget::Mac) {
            remembered = ReadRememberedHosts(outcome.warnings);
            break;
        }

    struct Send {
        std::string label;
        BYTE mac[6];
    };
    std::vector<Send> sends;
    for (const WakeTarget& target : targets) {
        Send send{target.text, {}};
        bool found = false;
        if (target.kind == WakeTarget::Mac) {
            std::memcpy(send.mac, target.mac, 6);
            found = true;
        } else if (target.kind == WakeTarget::Ip) {
            found = MacForAddress(target.ip, remembered, adapter, send.mac);
            if (!found)
                outcome.failures.push_back("no MAC address known for " + target.text +
                                           " (not remembered, not in the system's neighbour table)");
        } else {
            const std::vector<IPAddr> addresses = orvane::net::ResolveHostName(target.text);
            const IPAddr* onLan = nullptr;
            for (const IPAddr& address : addresses)
                if (adapter == nullptr || InSubnet(*adapter, address)) {
                    onLan = &address;
                    break;
                }
            if (addresses.empty()) {
                outcome.failures.push_back("cannot resolve host name '" + target.text + "'");
            } else if (onLan == nullptr) {
                outcome.failures.push_back("'" + target.text + "' (" + Dotted(addresses.front()) +
                                           ") is not on the subnet of " + adapter->name);
            } else {
                found = MacForAddress(*onLan, remembered, adapter, send.mac);
                if (!found)
                    outcome.failures.push_back("no MAC address known for " + target.text + " (" +
                                               Dotted(*onLan) + ")");
            }
        }
        if (found)
            sends.push_back(send);
    }

    const IPAddr source = adapter ? adapter->ip : 0;
    for (const Send& send : sends) {
        BYTE packet[MAGIC_PACKET_SEND_LEN] = {};
        BuildMagicPacket(send.mac, packet);
        CString error;
        // From the adapter's own address, as the dialog's Wake, with the same
        // way out through the system's route should that address be gone.
        if (!BroadcastMagicPacket(packet, source, error, port))
            outcome.failures.push_back("wake-up for " + send.label + " not sent: " + error.GetString());
    }
    return outcome;
}

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

    CHostLinePrinter printer(out, progress);
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
    outcome.interrupted = afx::Interrupted();

    std::string error;
    if (!RememberHosts(swept.Hosts(), error, outcome.warnings))
        outcome.failures.push_back("cannot remember the hosts found: " + error);
    afx::StopOnInterrupt(nullptr);
    afx::StopToken::Install(nullptr);
    return outcome;
}

CommandOutcome ListRememberedHosts(std::FILE* out)
{
    CommandOutcome outcome;
    for (const RememberedHost& host : ReadRememberedHosts(outcome.warnings))
        std::fprintf(out, "%s\t%s\t%s\t%s\n", Dotted(host.ip).c_str(), MacText(host.mac).GetString(),
                     host.adapter.c_str(), UtcText(host.seen).c_str());
    std::fflush(out);
    return outcome;
}
