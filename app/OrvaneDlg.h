// The main dialog: the local adapter, the host list and the wake-up fields.
#pragma once

#include "platform/net/iphlpapi.h"
#include "platform/ui/afxwin.h"
#include "res/resource.h"

class COrvaneDlg : public CDialog {
public:
    explicit COrvaneDlg(CDialog* pParent = nullptr);

    enum { IDD = IDD_ORVANE_DIALOG };

    // The adapter list, held until the process ends.
    PIP_ADAPTER_INFO m_pAdapterInfo;
    ULONG m_ulAdapterInfoLen;
    BYTE m_localMac[6];
    // The shown adapter's interface index: Wake finds it again by this.
    DWORD m_dwAdapterIndex;
    // Column 1 of the row found selected at the last item change, hyphens removed.
    CString m_strSelectedMac;
    IPAddr m_gateway;
    HICON m_hIcon;

    CListCtrl m_listHosts;
    CString m_strAdapterName;
    CString m_strLocalIp;
    CString m_strLocalMac;
    CString m_strLocalMask;
    CString m_strLocalGateway;
    CString m_strMac1;
    CString m_strMac2;
    CString m_strMac3;
    CString m_strMac4;
    CString m_strMac5;
    CString m_strMac6;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void OnSysCommand(UINT nID, LPARAM lParam) override;
    void OnPaint() override;
    HCURSOR OnQueryDragIcon() override;
    void OnScan();
    void OnClearList();
    // One handler per octet field, each testing its own member.
    template <CString COrvaneDlg::*Field> void OnMacFieldChanged();
    void OnHostListItemChanged(NMHDR* pNMHDR, LRESULT* pResult);
    void OnWake();

    // Fills the five adapter fields and the subnet from the first adapter.
    void QueryLocalAdapter();

    DECLARE_MESSAGE_MAP()
};
