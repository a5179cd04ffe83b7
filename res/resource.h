// Resource identifiers. The numbers are fixed: other tools and tests rely on
// them. Plain #defines, so that a resource script can read them too.
#pragma once

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

// The names the dialog templates use, so that the framework can give each
// its number before loading. X(name) sees the name's spelling and, through
// it, the number above; IDOK is the framework's own.
// clang-format off
#define AFX_RESOURCE_NAMES(X) \
    X(IDD_ABOUTBOX) X(IDS_ABOUTBOX) X(IDD_ORVANE_DIALOG) X(IDR_MAINFRAME) \
    X(IDC_HOST_LIST) X(IDC_ADAPTER_NAME) X(IDC_LOCAL_IP) X(IDC_LOCAL_MAC) X(IDC_LOCAL_MASK) \
    X(IDC_LOCAL_GATEWAY) X(IDC_MAC1) X(IDC_MAC2) X(IDC_MAC3) X(IDC_MAC4) X(IDC_MAC5) X(IDC_MAC6) \
    X(IDC_WAKE) X(IDC_SCAN) X(IDC_CLEAR_LIST) X(IDOK)
// clang-format on
