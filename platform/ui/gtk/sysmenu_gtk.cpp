// The system menu and the icons on GTK: the window manager's menu cannot be
// extended, so the system menu is the dialog's context menu (right click on
// the background, the menu key, Shift+F10); icons are the resource bundle.
#include "platform/ui/afxdlgimpl.h"
#include "platform/ui/afxinit.h"
#include "res/resources.h"

#include <wx/dc.h>
#include <wx/iconbndl.h>
#include <wx/menu.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

// --------------------------------------------------------------- system menu
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
        menu.Append(static_cast<int>(commands.size()), AfxWxText(item.text));
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

void CDialog::AfxOnContextMenu(wxContextMenuEvent& event)
{
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
    event.Skip();
}

bool CDialog::AfxSystemMenuKey(const wxKeyEvent& event)
{
    const int key = event.GetKeyCode();
    const int modifiers = event.GetModifiers();
    const bool menuKey = modifiers == wxMOD_NONE && (key == WXK_MENU || key == WXK_WINDOWS_MENU);
    if (!menuKey && !(key == WXK_F10 && modifiers == wxMOD_SHIFT))
        return false;
    ShowSystemMenu();
    return true;
}

// --------------------------------------------------------------------- icons
HICON CWinApp::LoadIcon(UINT id) const
{
    return AfxResourceIconGroup(id);
}

HICON CDialog::SetIcon(HICON icon, BOOL bigIcon)
{
    HICON& slot = m_impl->icons[bigIcon ? 1 : 0];
    const HICON previous = slot;
    slot = icon;
    if (icon && HasWindow())
        SetIcons(*icon);
    return previous;
}

HCURSOR CDialog::OnQueryDragIcon()
{
    return m_impl->icons[1];
}

LRESULT CDialog::SendMessage(UINT, WPARAM, LPARAM)
{
    // WM_ICONERASEBKGND: the toolkit erases the background itself.
    return 0;
}

WPARAM CPaintDC::GetSafeHdc() const
{
    return reinterpret_cast<WPARAM>(this);
}

BOOL CPaintDC::DrawIcon(int x, int y, HICON icon)
{
    wxDC* dc = AfxDC();
    if (!dc || !icon)
        return FALSE;
    const wxIcon image = icon->GetIcon(wxSize(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)));
    if (!image.IsOk())
        return FALSE;
    dc->DrawIcon(image, x, y);
    return TRUE;
}

int GetSystemMetrics(int index)
{
    switch (index) {
        case SM_CXICON:
        case SM_CYICON:
            return 32;  // the large image of the icon group
        default:
            return 0;
    }
}

BOOL InitCommonControlsEx(DWORD)
{
    return TRUE;
}
