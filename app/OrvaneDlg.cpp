#include "app/OrvaneDlg.h"

#include "app/AboutDlg.h"
#include "app/OrvaneApp.h"
#include "net/globals.h"
#include "net/magic_packet.h"
#include "net/octets.h"
#include "net/sweep.h"
#include "net/wake.h"
#include "platform/ui/afxaccess.h"

COrvaneDlg::COrvaneDlg(CDialog* pParent) : CDialog(IDD, pParent)
{
    m_hIcon = AfxGetApp()->LoadIcon(IDR_MAINFRAME);
    m_pAdapterInfo = nullptr;
    m_ulAdapterInfoLen = 0;
    m_gateway = 0;
    m_dwAdapterIndex = 0;
    for (BYTE& b : m_localMac)
        b = 0;
}

void COrvaneDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_HOST_LIST, m_listHosts);
    DDX_Text(pDX, IDC_ADAPTER_NAME, m_strAdapterName);
    DDX_Text(pDX, IDC_LOCAL_IP, m_strLocalIp);
    DDX_Text(pDX, IDC_LOCAL_MAC, m_strLocalMac);
    DDX_Text(pDX, IDC_LOCAL_MASK, m_strLocalMask);
    DDX_Text(pDX, IDC_LOCAL_GATEWAY, m_strLocalGateway);
    DDX_Text(pDX, IDC_MAC1, m_strMac1);
    DDX_Text(pDX, IDC_MAC2, m_strMac2);
    DDX_Text(pDX, IDC_MAC3, m_strMac3);
    DDX_Text(pDX, IDC_MAC4, m_strMac4);
    DDX_Text(pDX, IDC_MAC5, m_strMac5);
    DDX_Text(pDX, IDC_MAC6, m_strMac6);
}

BEGIN_MESSAGE_MAP(COrvaneDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_SCAN, &COrvaneDlg::OnScan)
    ON_BN_CLICKED(IDC_CLEAR_LIST, &COrvaneDlg::OnClearList)
    ON_EN_CHANGE(IDC_MAC1, &COrvaneDlg::OnMacFieldChanged<&COrvaneDlg::m_strMac1>)
    ON_EN_CHANGE(IDC_MAC2, &COrvaneDlg::OnMacFieldChanged<&COrvaneDlg::m_strMac2>)
    ON_EN_CHANGE(IDC_MAC3, &COrvaneDlg::OnMacFieldChanged<&COrvaneDlg::m_strMac3>)
    ON_EN_CHANGE(IDC_MAC4, &COrvaneDlg::OnMacFieldChanged<&COrvaneDlg::m_strMac4>)
    ON_EN_CHANGE(IDC_MAC5, &COrvaneDlg::OnMacFieldChanged<&COrvaneDlg::m_strMac5>)
    ON_EN_CHANGE(IDC_MAC6, &COrvaneDlg::OnMacFieldChanged<&COrvaneDlg::m_strMac6>)
    ON_NOTIFY(LVN_ITEMCHANGED, IDC_HOST_LIST, &COrvaneDlg::OnHostListItemChanged)
    ON_BN_CLICKED(IDC_WAKE, &COrvaneDlg::OnWake)
END_MESSAGE_MAP()

BOOL COrvaneDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    // The About item joins the window's system commands.
    CMenu* pSysMenu = GetSystemMenu(FALSE);
    if (pSysMenu != nullptr) {
        CString strAboutMenu;
        strAboutMenu.LoadString(IDS_ABOUTBOX);
        if (!strAboutMenu.IsEmpty()) {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, strAboutMenu);
        }
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    m_listHosts.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    // Both at position 1: in the empty list the first lands at 0.
    m_listHosts.InsertColumn(1, "IP地址", LVCFMT_CENTER, 95);
    m_listHosts.InsertColumn(1, "MAC地址", LVCFMT_CENTER, 115);

    // Six fields alike: a screen reader tells them apart by these names.
    for (int i = 0; i < 6; ++i)
        AfxSetAccessibleName(GetDlgItem(IDC_MAC1 + i), "MAC 地址第 %d 段", i + 1);

    QueryLocalAdapter();

    UpdateData(FALSE);
    return TRUE;  // the framework focuses the first tab stop, the host list
}

void COrvaneDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

void COrvaneDlg::OnPaint()
{
    if (IsIconic()) {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, dc.GetSafeHdc(), 0);

        const int cxIcon = GetSystemMetrics(SM_CXICON);
        const int cyIcon = GetSystemMetrics(SM_CYICON);
        CRect rect;
        GetClientRect(&rect);
        const int x = (rect.Width() - cxIcon + 1) / 2;
        const int y = (rect.Height() - cyIcon + 1) / 2;
        dc.DrawIcon(x, y, m_hIcon);
    } else {
        CDialog::OnPaint();
    }
}

HCURSOR COrvaneDlg::OnQueryDragIcon()
{
    return m_hIcon;
}

void COrvaneDlg::OnScan()
{
    if (g_scanIdle.load() != 1) {
        MessageBox("正在探测....\n请等待结束", nullptr, MB_ICONEXCLAMATION | MB_OK);
        return;
    }
    m_listHosts.DeleteAllItems();
    g_scanIdle.store(0);
    if (AfxBeginThread(ScanThreadProc, &m_listHosts) == nullptr) {
        // No worker will ever store 1: without this Scan would refuse for good.
        g_scanIdle.store(1);
        MessageBox("探测线程启动失败", nullptr, MB_ICONEXCLAMATION | MB_OK);
    }
}

void COrvaneDlg::OnClearList()
{
    if (g_scanIdle.load() != 1) {
        MessageBox("正在探测....\n请等待结束", nullptr, MB_ICONEXCLAMATION | MB_OK);
        return;
    }
    m_listHosts.DeleteAllItems();
}

template <CString COrvaneDlg::*Field> void COrvaneDlg::OnMacFieldChanged()
{
    UpdateData(TRUE);
    if ((this->*Field).GetLength() != 2)
        return;

    // Two characters make an octet: move on, ready to be overtyped.
    CWnd* pFocus = GetFocus();
    CWnd* pNext = GetNextDlgTabItem(pFocus);
    if (pNext == nullptr)
        return;
    pNext->SetFocus();
    pNext->SetSel(0, 1024);
}

void COrvaneDlg::OnHostListItemChanged(NMHDR* /*pNMHDR*/, LRESULT* pResult)
{
    const int nItem = m_listHosts.GetNextItem(-1, LVNI_SELECTED);
    m_strSelectedMac = m_listHosts.GetItemText(nItem, 1);  // empty for -1
    m_strSelectedMac.Remove('-');

    m_strMac1 = m_strSelectedMac.Mid(0, 2);
    m_strMac2 = m_strSelectedMac.Mid(2, 2);
    m_strMac3 = m_strSelectedMac.Mid(4, 2);
    m_strMac4 = m_strSelectedMac.Mid(6, 2);
    m_strMac5 = m_strSelectedMac.Mid(8, 2);
    m_strMac6 = m_strSelectedMac.Mid(10, 2);
    // The exchange drops the fields' change notifications: the focus stays.
    UpdateData(FALSE);

    *pResult = 0;
}

void COrvaneDlg::OnWake()
{
    UpdateData(TRUE);

    const CString fields[6] = {m_strMac1, m_strMac2, m_strMac3, m_strMac4, m_strMac5, m_strMac6};
    for (const CString& field : fields) {
        if (field.IsEmpty()) {
            AfxMessageBox("You should fill in all MAC address fields");
            return;
        }
    }

    BYTE octets[6];
    MacOctetsFromFields(fields, octets);
    BYTE packet[MAGIC_PACKET_SEND_LEN] = {};
    BuildMagicPacket(octets, packet);

    // Out of the adapter the dialog shows, whether or not a default route
    // exists, from whatever address it holds by now. A wake-up that never
    // left must not look like one that did.
    CString error;
    if (!WakeFromAdapter(packet, m_dwAdapterIndex, g_localIp, error))
        AfxMessageBox(CString("唤醒数据包发送失败\n") + error);
}
