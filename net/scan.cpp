#include "net/sweep.h"

#include "net/local_adapter_pick.h"
#include "net/remembered_hosts.h"
#include "platform/base/afxstop.h"
#include "platform/ui/afxwin.h"

UINT ScanThreadProc(LPVOID pParam)
{
    auto* list = static_cast<CListCtrl*>(pParam);
    // Every answer is also remembered, for a wake-up by address once the
    // machine sleeps and answers no more; the list sees no difference.
    CSweptHosts swept(AdapterNameFor(g_localIp));
    auto resolver = [&swept](IPAddr destination, IPAddr source, void* mac, ULONG* length) {
        const DWORD result = SendARP(destination, source, mac, length);
        if (result == NO_ERROR)
            swept.Add(destination, mac);
        return result;
    };
    return SweepSubnet(
        *list, resolver, [](DWORD ms) { Sleep(ms); }, afx::StopRequested,
        [&swept] { RememberSweptHosts(swept); });
}
