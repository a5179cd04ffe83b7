// Resource identifiers. The numbers are fixed: other tools and tests rely on
// them. AFX_RESOURCE_NAMES lists the names the dialog templates use, so the
// framework can give each template name its number before loading.
#pragma once

#define AFX_RESOURCE_NAMES(X)  \
    X(IDD_ABOUTBOX, 100)       \
    X(IDS_ABOUTBOX, 101)       \
    X(IDD_ORVANE_DIALOG, 102)  \
    X(IDR_MAINFRAME, 128)      \
    X(IDC_HOST_LIST, 1000)     \
    X(IDC_ADAPTER_NAME, 1001)  \
    X(IDC_LOCAL_IP, 1002)      \
    X(IDC_LOCAL_MAC, 1003)     \
    X(IDC_LOCAL_MASK, 1004)    \
    X(IDC_LOCAL_GATEWAY, 1005) \
    X(IDC_MAC1, 1006)          \
    X(IDC_MAC2, 1007)          \
    X(IDC_MAC3, 1008)          \
    X(IDC_MAC4, 1009)          \
    X(IDC_MAC5, 1010)          \
    X(IDC_MAC6, 1011)          \
    X(IDC_WAKE, 1012)          \
    X(IDC_SCAN, 1013)          \
    X(IDC_CLEAR_LIST, 1014)    \
    X(IDOK, 1)

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_ORVANE_DIALOG 102
#define IDR_MAINFRAME 128
#define IDC_HOST_LIST 1000
#define IDC_ADAPTER_NAME 1001
#define IDC_LOCAL_IP 1002
#define IDC_LOCAL_MAC 1003
#define IDC_LOCAL_MASK 1004
#define IDC_LOCAL_GATEWAY 1005
#define IDC_MAC1 1006
#define IDC_MAC2 1007
#define IDC_MAC3 1008
#define IDC_MAC4 1009
#define IDC_MAC5 1010
#define IDC_MAC6 1011
#define IDC_WAKE 1012
#define IDC_SCAN 1013
#define IDC_CLEAR_LIST 1014

// System-menu command of the About item.
#define IDM_ABOUTBOX 0x0010
