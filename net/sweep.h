// The subnet sweep: one ARP request per host address, strictly one after
// another, each answer inserted at the top of the host list.
#pragma once

#include "net/globals.h"
#include "net/octets.h"
#include "platform/net/iphlpapi.h"
#include "platform/net/winsock.h"

// After each answer the sweep pauses, so the rows arrive at a pace a person
// can follow; a silent address already cost the whole ARP wait.
constexpr DWORD SWEEP_PAUSE_AFTER_ANSWER_MS = 50;

// Probes network + 1 .. broadcast - 1 of g_localIp/g_localMask through
// `sendArp` (shaped like SendARP), adds a row to `list` (InsertItem and
// SetItemText, as CListCtrl) per answer, pauses with `pause(ms)` after each
// answer, runs `beforeIdle()` (the worker's last work, such as remembering
// the hosts) and finally sets g_scanIdle to 1. Once `stopRequested()` is
// true (the list is going away) it probes nothing more and touches the list
// no more: a /8 would otherwise spin through millions of cancelled probes.
// Returns the worker's exit code, 1.
template <class List, class Resolver, class Pause, class StopRequested, class BeforeIdle>
UINT SweepSubnet(List& list, Resolver&& sendArp, Pause&& pause, StopRequested&& stopRequested,
                 BeforeIdle&& beforeIdle)
{
    const ULONG mask = ntohl(g_localMask);
    const ULONG network = ntohl(g_localIp & g_localMask);
    // Signed on purpose: a /31 gives 0, a /32 gives -1 and the zero mask of a
    // failed adapter query gives -2; none of them probes anything.
    const LONG count = static_cast<LONG>(~mask - 1);
    ULONG host = network + 1;

    for (LONG i = 0; i < count && !stopRequested(); ++i, ++host) {
        const IPAddr destination = htonl(host);
        BYTE mac[6] = {0, 0, 0, 0, 0, 0};
        ULONG length = 6;
        // An answer that comes back after the stop is not listed: the list
        // is going away.
        if (sendArp(destination, IPAddr{0}, mac, &length) == NO_ERROR && !stopRequested()) {
            // All six bytes, whatever length came back: unfilled ones show 00.
            const CString macText = MacText(mac);
            in_addr address{};
            address.s_addr = destination;
            const CString ipText = inet_ntoa(address);
            list.InsertItem(0, ipText);
            list.SetItemText(0, 1, macText);
            pause(SWEEP_PAUSE_AFTER_ANSWER_MS);
        }
    }

    // A new sweep may start once the flag is 1: what this one still writes
    // comes first.
    beforeIdle();
    g_scanIdle.store(1);
    return 1;
}

template <class List, class Resolver, class Pause, class StopRequested>
UINT SweepSubnet(List& list, Resolver&& sendArp, Pause&& pause, StopRequested&& stopRequested)
{
    return SweepSubnet(list, sendArp, pause, stopRequested, [] {});
}

// The worker thread: sweeps into the dialog's host list (a CListCtrl*).
UINT ScanThreadProc(LPVOID pParam);
