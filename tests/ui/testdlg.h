// A dialog of the layer's own tests, built from a program template (not the
// program's dialog class): it records what the framework routes to it.
#pragma once

#include "platform/ui/afxwin.h"
#include "res/resource.h"

#include <functional>
#include <vector>

class CProbeDlg : public CDialog {
public:
    explicit CProbeDlg(UINT templateId = IDD_ORVANE_DIALOG, CDialog* parent = nullptr)
        : CDialog(templateId, parent)
    {}

    // Run at the end of OnInitDialog (after the first load exchange).
    std::function<void(CProbeDlg&)> onInit;
    // Run inside DoDataExchange after the members were exchanged.
    std::function<void(CProbeDlg&)> duringExchange;

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        if (onInit)
            onInit(*this);
        return TRUE;
    }
    void DoDataExchange(CDataExchange* pDX) override
    {
        CDialog::DoDataExchange(pDX);
        if (!bindControls)
            return;
        DDX_Control(pDX, IDC_HOST_LIST, m_list);
        DDX_Text(pDX, IDC_ADAPTER_NAME, m_strName);
        DDX_Text(pDX, IDC_LOCAL_MAC, m_strMac);
        DDX_Text(pDX, IDC_MAC1, m_strMac1);
        DDX_Text(pDX, IDC_MAC2, m_strMac2);
        if (duringExchange)
            duringExchange(*this);
    }
    void OnOK() override
    {
        ++okCount;
        CDialog::OnOK();
    }
    void OnCancel() override
    {
        ++cancelCount;
        CDialog::OnCancel();
    }
    void OnSysCommand(UINT id, LPARAM lParam) override
    {
        sysCommands.push_back(id);
        CDialog::OnSysCommand(id, lParam);
    }
    void OnScan() { ++scanClicks; }
    void OnWake() { ++wakeClicks; }
    void OnMac1Changed() { ++mac1Changes; }
    void OnListChanged(NMHDR*, LRESULT* result)
    {
        ++listChanges;
        *result = 0;
    }

    bool bindControls = true;
    CListCtrl m_list;
    CString m_strName, m_strMac, m_strMac1, m_strMac2;
    int okCount = 0, cancelCount = 0, scanClicks = 0, wakeClicks = 0, mac1Changes = 0, listChanges = 0;
    std::vector<UINT> sysCommands;

    DECLARE_MESSAGE_MAP()
};

// The same without an event table of its own: system commands get the
// framework's default handling.
class CPlainDlg : public CDialog {
public:
    explicit CPlainDlg(UINT templateId = IDD_ORVANE_DIALOG, CDialog* parent = nullptr)
        : CDialog(templateId, parent)
    {}
};
