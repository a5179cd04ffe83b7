#include "net/sweep.h"

#include "platform/base/afxstop.h"
#include "platform/ui/afxwin.h"

UINT ScanThreadProc(LPVOID pParam)
{
    auto* list = static_cast<CListCtrl*>(pParam);
    // A worker asked to stop (its list is going away) sends no further
    // request: the system's own SendARP cannot be cut short.
    const auto resolve = [](IPAddr destination, IPAddr source, void* mac, ULONG* length) -> DWORD {
        return afx::StopRequested() ? DWORD{ERROR_CANCELLED} : SendARP(destination, source, mac, length);
    };
    return SweepSubnet(*list, resolve, [](DWORD ms) { Sleep(ms); });
}
