// The dialog's keys and the routing of system commands. The system menu
// itself is one backend per system (gtk/sysmenu_gtk.cpp,
// windows/sysmenu_windows.cpp).
#include "platform/ui/afxdlgimpl.h"
#include "platform/ui/afxinit.h"

#include <wx/button.h>

wxDEFINE_EVENT(AFX_EVT_SYSCOMMAND, wxCommandEvent);

void CDialog::AfxSysCommandThunk(wxCommandEvent& event)
{
    OnSysCommand(static_cast<UINT>(event.GetInt()), static_cast<LPARAM>(event.GetExtraLong()));
}

void CDialog::RaiseSysCommand(UINT id, LPARAM lParam)
{
    wxCommandEvent event(AFX_EVT_SYSCOMMAND, GetId());
    event.SetEventObject(this);
    event.SetInt(static_cast<int>(id));
    event.SetExtraLong(static_cast<long>(lParam));
    if (!ProcessWindowEvent(event))
        CDialog::OnSysCommand(id, lParam);
}

void CDialog::AfxOnCharHook(wxKeyEvent& event)
{
    const int key = event.GetKeyCode();
    const int modifiers = event.GetModifiers();
    wxWindow* focused = afx::DirectChild(this, wxWindow::FindFocus());
    auto* button = dynamic_cast<wxButton*>(focused);

    if (modifiers == wxMOD_NONE) {
        switch (key) {
            case WXK_ESCAPE:
                AfxRaiseCommand(IDCANCEL);
                return;
            case WXK_RETURN:
            case WXK_NUMPAD_ENTER:
                // No default push button: Enter clicks the focused button, and
                // anywhere else it is the dialog's OK.
                if (button)
                    AfxClickButton(button);
                else
                    AfxRaiseCommand(IDOK);
                return;
            case WXK_SPACE:
                if (button) {
                    AfxClickButton(button);
                    return;
                }
                break;
            case WXK_F1:
                if (CWinApp* app = AfxGetApp()) {
                    wxCommandEvent help(wxEVT_MENU, static_cast<int>(ID_HELP));
                    help.SetEventObject(this);
                    app->ProcessEvent(help);
                }
                return;
            default:
                break;
        }
    }
    if (AfxSystemMenuKey(event))
        return;
    event.Skip();
}
