// The system menu and the icons on Windows: the window's own system menu,
// whose commands (WM_SYSCOMMAND) go through the event table, and the
// program's icon group from its resources.
#include "platform/ui/afxdlgimpl.h"
#include "platform/ui/afxinit.h"

#include <wx/dc.h>

#include <string>

// --------------------------------------------------------------- system menu
BOOL CMenu::AppendMenu(UINT flags, UINT_PTR id, const char* text)
{
    const bool separator = (flags & MF_SEPARATOR) != 0;
    if (!separator && !text)
        return FALSE;
    if (m_native) {
        const std::wstring wide = separator ? std::wstring() : AfxWxText(text).ToStdWstring();
        if (!::AppendMenuW(static_cast<HMENU>(m_native), flags, separator ? 0 : id,
                           separator ? nullptr : wide.c_str()))
            return FALSE;
    }
    m_items.push_back({flags, separator ? 0 : id, separator ? CString() : CString(text)});
    return TRUE;
}

// The system keeps the window's own items; nothing of the program's yet.
CMenu afx::DefaultSystemMenu()
{
    return CMenu();
}

CMenu* CDialog::GetSystemMenu(BOOL revert)
{
    HWND window = HasWindow() ? static_cast<HWND>(GetHWND()) : nullptr;
    if (!window)
        return nullptr;
    if (revert) {
        ::GetSystemMenu(window, TRUE);
        m_systemMenu = afx::DefaultSystemMenu();
        return nullptr;
    }
    HMENU menu = ::GetSystemMenu(window, FALSE);
    if (!menu)
        return nullptr;
    if (m_systemMenu.Native() != menu) {
        m_systemMenu = afx::DefaultSystemMenu();
        m_systemMenu.AttachNative(menu);
    }
    return &m_systemMenu;
}

WXLRESULT CDialog::MSWWindowProc(WXUINT message, WXWPARAM wParam, WXLPARAM lParam)
{
    if (message != WM_SYSCOMMAND || !HasWindow())
        return wxDialog::MSWWindowProc(message, wParam, lParam);
    // Every system command reaches the event table first; what its handler
    // leaves to the base class gets the window's default handling.
    bool toDefault = false;
    bool* const outer = m_pSysCommandToDefault;
    m_pSysCommandToDefault = &toDefault;
    RaiseSysCommand(static_cast<UINT>(wParam), static_cast<LPARAM>(lParam));
    m_pSysCommandToDefault = outer;
    return toDefault ? wxDialog::MSWWindowProc(message, wParam, lParam) : 0;
}

void CDialog::OnSysCommand(UINT id, LPARAM lParam)
{
    if (m_pSysCommandToDefault) {
        *m_pSysCommandToDefault = true;
        return;
    }
    // Raised by the layer, not by the system: the system handles it as its own.
    if (HasWindow())
        ::SendMessageW(static_cast<HWND>(GetHWND()), WM_SYSCOMMAND, id, lParam);
}

// The system shows the system menu itself.
void CDialog::AfxOnContextMenu(wxContextMenuEvent& event)
{
    event.Skip();
}

bool CDialog::AfxSystemMenuKey(const wxKeyEvent&)
{
    return false;
}

// --------------------------------------------------------------------- icons
HICON CWinApp::LoadIcon(UINT id) const
{
    return ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
}

HICON CDialog::SetIcon(HICON icon, BOOL bigIcon)
{
    HICON& slot = m_impl->icons[bigIcon ? 1 : 0];
    const HICON previous = slot;
    slot = icon;
    if (HasWindow())
        ::SendMessageW(static_cast<HWND>(GetHWND()), WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL,
                       reinterpret_cast<LPARAM>(icon));
    return previous;
}

HCURSOR CDialog::OnQueryDragIcon()
{
    return m_impl->icons[1];
}

LRESULT CDialog::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return HasWindow() ? ::SendMessageW(static_cast<HWND>(GetHWND()), message, wParam, lParam) : 0;
}

WPARAM CPaintDC::GetSafeHdc() const
{
    wxDC* dc = AfxDC();
    return reinterpret_cast<WPARAM>(dc ? dc->GetHDC() : nullptr);
}

BOOL CPaintDC::DrawIcon(int x, int y, HICON icon)
{
    wxDC* dc = AfxDC();
    if (!dc || !icon)
        return FALSE;
    return ::DrawIcon(static_cast<HDC>(dc->GetHDC()), x, y, icon);
}

BOOL InitCommonControlsEx(DWORD classes)
{
    INITCOMMONCONTROLSEX init{sizeof init, classes};
    return ::InitCommonControlsEx(&init);
}
