// orvane wake: the dialog's datagram for each target, by MAC, address or
// host name.
#include "cli/commands.h"
#include "cli/dotted.h"
#include "net/magic_packet.h"
#include "net/remembered_hosts.h"
#include "net/wake.h"
#include "platform/net/neighbour.h"

#include <cstring>

namespace {

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

}  // namespace

CommandOutcome WakeTargets(const std::vector<WakeTarget>& targets, unsigned short port,
                           const LocalAdapter* adapter, bool named)
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
        // way out through the system's route should that address be gone;
        // but a named adapter is a promise of where it leaves.
        if (!BroadcastMagicPacket(packet, source, error, port, named))
            outcome.failures.push_back("wake-up for " + send.label + " not sent" +
                                       (named ? " on " + adapter->name : std::string()) + ": " +
                                       error.GetString());
    }
    return outcome;
}
