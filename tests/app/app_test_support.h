// The main dialog under test: its handlers and members within reach, and
// the About box and message boxes watched.
#pragma once

#include "app/OrvaneDlg.h"
#include "net/globals.h"
#include "tests/support/guitest.h"

#include <wx/listctrl.h>
#include <wx/modalhook.h>
#include <wx/textctrl.h>

#include <string>
#include <vector>

namespace apptest {

class TestDlg : public COrvaneDlg {
public:
    using COrvaneDlg::OnClearList;
    using COrvaneDlg::OnScan;
    using COrvaneDlg::OnSysCommand;
    using COrvaneDlg::OnWake;
};

// Fresh process-wide state for each dialog.
inline void ResetGlobals()
{
    g_localIp = 0;
    g_localMask = 0;
    g_scanIdle.store(1);
}

// Records every About box that opens and closes it with its OK button.
class AboutWatcher : public wxModalDialogHook {
public:
    AboutWatcher() { Register(); }
    ~AboutWatcher() override { Unregister(); }
    std::vector<std::string> titles;
    std::vector<std::string> labels;  // texts of its labels and buttons

protected:
    int Enter(wxDialog* dialog) override;
    void Exit(wxDialog*) override {}
};

wxTextCtrl* Edit(const CDialog& dlg, int id);
wxListCtrl* List(const CDialog& dlg);
std::string Text(const CDialog& dlg, int id);
std::vector<std::string> OctetTexts(const CDialog& dlg);
int FocusedId(const CDialog& dlg);
// Sends a button click through the dialog's event table, as a click does.
void ClickButton(CDialog& dlg, int id);
// Rows of the host list, top first: "ip mac".
std::vector<std::string> Rows(const CDialog& dlg);

}  // namespace apptest
