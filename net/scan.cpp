#include "net/sweep.h"

#include "platform/base/afxstop.h"
#include "platform/ui/afxwin.h"

UINT ScanThreadProc(LPVOID pParam)
{
    auto* list = static_cast<CListCtrl*>(pParam);
    return SweepSubnet(
        *list, SendARP, [](DWORD ms) { Sleep(ms); }, afx::StopRequested);
}
