// The adapter step of the main dialog's initialisation: the first adapter
// the platform lists fills the five read-only fields and sets the subnet.
#include "app/OrvaneDlg.h"
#include "net/globals.h"
#include "net/octets.h"
#include "platform/net/winsock.h"

#include <cstring>

namespace {
CString DottedText(IPAddr address)
{
    in_addr a{};
    a.s_addr = address;
    return CString(inet_ntoa(a));
}
}  // namespace

void COrvaneDlg::QueryLocalAdapter()
{
    // The first call only learns the length the list needs.
    GetAdaptersInfo(m_pAdapterInfo, &m_ulAdapterInfoLen);
    m_pAdapterInfo = static_cast<PIP_ADAPTER_INFO>(AfxAllocZeroed(m_ulAdapterInfoLen));
    if (GetAdaptersInfo(m_pAdapterInfo, &m_ulAdapterInfoLen) != NO_ERROR || m_pAdapterInfo == nullptr)
        return;

    const IP_ADAPTER_INFO* pAdapter = m_pAdapterInfo;
    std::memcpy(m_localMac, pAdapter->Address, 6);
    m_dwAdapterIndex = pAdapter->Index;
    m_gateway = inet_addr(pAdapter->GatewayList.IpAddress.String);
    g_localIp = inet_addr(pAdapter->IpAddressList.IpAddress.String);
    g_localMask = inet_addr(pAdapter->IpAddressList.IpMask.String);

    m_strLocalIp = DottedText(g_localIp);
    m_strLocalMask = DottedText(g_localMask);
    m_strLocalGateway = DottedText(m_gateway);
    m_strLocalMac = MacText(m_localMac) + "\n";
    m_strAdapterName = pAdapter->AdapterName;
}
