// The dialog's keys and its system menu (on GTK a context menu of the
// dialog's background, also opened from the keyboard).
#include "platform/ui/afxdlgimpl.h"
#include "platform/ui/afxinit.h"

#include <wx/button.h>
#include <wx/menu.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include <vector>

wxDEFINE_EVENT(AFX_EVT_SYSCOMMAND, wxCommandEvent);

CMenu afx::DefaultSystemMenu()
{
    // What the system menu of such a window offers by itself.
    CMenu menu;
    menu.AppendMenu(MF_STRING, SC_CLOSE, GbkFromUtf8("关闭(&C)").c_str());
    return menu;
}

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR id, const char* text)
{
    if (flags & MF_SEPARATOR) {
        m_items.push_back({flags, 0, CString()});
        return TRUE;
    }
    if (!text)
        return FALSE;
    m_items.push_back({flags, id, CString(text)});
    return TRUE;
}

CMenu* CDialog::GetSystemMenu(BOOL revert)
{
    if (revert) {
        m_systemMenu = afx::DefaultSystemMenu();
        return nullptr;
    }
    return &m_systemMenu;
}

void CDialog::OnSysCommand(UINT id, LPARAM)
{
    // The low four bits are the system's own.
    if ((id & 0xFFF0) == SC_CLOSE)
        AfxRaiseCommand(IDCANCEL);
}

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

void CDialog::ShowSystemMenu(const wxPoint& pos)
{
    if (!HasWindow())
        return;
    // The toolkit limits menu identifiers to 15 bits; system commands use
    // 16. Items carry their position and map back to the command.
    wxMenu menu;
    std::vector<UINT> commands;
    bool separatorDue = false;
    for (const CMenu::Item& item : m_systemMenu.Items()) {
        if (item.flags & MF_SEPARATOR) {
            separatorDue = !commands.empty();
            continue;
        }
        if (separatorDue)
            menu.AppendSeparator();
        separatorDue = false;
        commands.push_back(static_cast<UINT>(item.id));
        menu.Append(static_cast<int>(commands.size()), AfxWxFromGbk(item.text));
    }
    const bool any = !commands.empty();
    if (!any)
        return;
    wxPoint at = pos;
    if (at == wxDefaultPosition) {
        // From the keyboard: below the focused control, else the corner.
        at = wxPoint(0, 0);
        if (wxWindow* focused = afx::DirectChild(this, wxWindow::FindFocus()))
            at = focused->GetRect().GetBottomLeft();
    }
    const int chosen = GetPopupMenuSelectionFromUser(menu, at);
    if (chosen >= 1 && static_cast<std::size_t>(chosen) <= commands.size())
        RaiseSysCommand(commands[static_cast<std::size_t>(chosen) - 1]);
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
#ifndef __WXMSW__
            case WXK_MENU:
            case WXK_WINDOWS_MENU:
                ShowSystemMenu();
                return;
#endif
            default:
                break;
        }
    }
#ifndef __WXMSW__
    if (key == WXK_F10 && modifiers == wxMOD_SHIFT) {
        ShowSystemMenu();
        return;
    }
#endif
    event.Skip();
}

void CDialog::AfxOnContextMenu(wxContextMenuEvent& event)
{
#ifndef __WXMSW__
    // The dialog's background (labels and boxes are part of it) offers the
    // system menu; the controls keep their own menus.
    auto* source = wxDynamicCast(event.GetEventObject(), wxWindow);
    const bool background =
        source == this || wxDynamicCast(source, wxStaticText) || wxDynamicCast(source, wxStaticBox);
    if (background) {
        const wxPoint screen = event.GetPosition();
        ShowSystemMenu(screen == wxDefaultPosition ? wxDefaultPosition : ScreenToClient(screen));
        return;
    }
#endif
    event.Skip();
}
