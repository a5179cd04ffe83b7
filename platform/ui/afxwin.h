// The dialog framework services the program is written against, provided
// over wxWidgets. The program's own code (app/, net/) uses only what is
// declared here (with the headers this one includes) and in platform/base,
// and includes no toolkit header itself (tools/check-layers.sh). The
// toolkit is not hidden, though: CDialog is a wxDialog and the event tables
// are wxWidgets' own, so its declarations come along with this header.
//
// Model: one static application object whose InitInstance() is called once
// by the framework's entry; returning FALSE ends the process with status 0.
// Dialogs are built from XRC templates named after their resource numbers
// and run modally. Handlers are routed by static event tables written with
// the macros of afxmsgmap.h.
#pragma once

#include "platform/base/afxstop.h"
#include "platform/base/afxstr.h"
#include "platform/base/afxthread.h"
#include "platform/ui/afxlist.h"
#include "platform/ui/afxwnd.h"

#include <wx/dialog.h>
#include <wx/event.h>

#include <cstddef>
#include <memory>
#include <vector>

class wxWindow;
class wxIconBundle;
class wxListEvent;
class wxMenu;
class wxDC;
class CDialog;

using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;

// ---------------------------------------------------------------- constants
#ifdef _WIN32
// On Windows the constants, icon handles, Sleep and GetSystemMetrics are the
// system's own.
#include <windows.h>

#include <commctrl.h>
// Names of this layer that the system headers turn into their ...W macros.
#undef AppendMenu
#undef LoadIcon
#undef MessageBox
#undef SendMessage
#else
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };
enum : UINT {
    MB_OK = 0x0,
    MB_YESNO = 0x4,
    MB_ICONHAND = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONMASK = 0xF0,
    MB_TYPEMASK = 0x0F,
};
enum : UINT { MF_STRING = 0x0, MF_SEPARATOR = 0x800 };
enum : int { SM_CXICON = 11, SM_CYICON = 12 };
enum : UINT { WM_ICONERASEBKGND = 0x27 };
enum : UINT { ICC_WIN95_CLASSES = 0xFF };

// System commands the window itself understands (default handling).
enum : UINT { SC_CLOSE = 0xF060 };
#endif
enum : UINT { ID_HELP = 0xE146 };

// ------------------------------------------------------------------ helpers
struct CRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

#ifndef _WIN32
// An icon group of the program's resources (16x16 and 32x32 images).
using HICON = const wxIconBundle*;
using HCURSOR = HICON;

int GetSystemMetrics(int index);
#endif
// Registers the common control classes (nothing to register on GTK).
BOOL InitCommonControlsEx(DWORD classes);

// ------------------------------------------------------------------ CMenu
// The window's menu of system commands. On Windows the window's own system
// menu; on GTK, which offers no system menu a program can extend, the
// dialog's context menu. Items() lists what was appended through this object.
class CMenu {
public:
    BOOL AppendMenu(UINT flags, UINT_PTR id = 0, const char* text = nullptr);

    struct Item {
        UINT flags;
        UINT_PTR id;
        CString text;
    };
    const std::vector<Item>& Items() const { return m_items; }

    // The system's menu the items also go to (Windows), or nullptr.
    void AttachNative(void* menu) { m_native = menu; }
    void* Native() const { return m_native; }

private:
    std::vector<Item> m_items;
    void* m_native = nullptr;
};

// ---------------------------------------------------------- data exchange
class CDataExchange {
public:
    CDataExchange(CDialog* dialog, BOOL saveAndValidate)
        : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog)
    {}
    BOOL m_bSaveAndValidate;  // TRUE: controls -> members (save)
    CDialog* m_pDlgWnd;
};

void DDX_Control(CDataExchange* pDX, int idc, CListCtrl& control);
void DDX_Text(CDataExchange* pDX, int idc, CString& value);

// ---------------------------------------------------------------- CPaintDC
class CPaintDC {
public:
    explicit CPaintDC(CDialog* dialog);
    ~CPaintDC();
    BOOL DrawIcon(int x, int y, HICON icon);
    // The device context as a message parameter (WM_ICONERASEBKGND).
    WPARAM GetSafeHdc() const;

    wxDC* AfxDC() const;  // for the layer; nullptr without a dialog

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// ----------------------------------------------------------------- CDialog
class CDialog : public wxDialog {
public:
    explicit CDialog(UINT templateId, CDialog* parent = nullptr);
    ~CDialog() override;

    // Creates the window from the template, runs OnInitDialog, runs the
    // modal loop and destroys the window. Returns IDOK or IDCANCEL (or the
    // value given to EndDialog).
    virtual INT_PTR DoModal();
    virtual BOOL OnInitDialog();  // base: the first load exchange; TRUE
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnOK();      // save exchange, then EndDialog(IDOK)
    virtual void OnCancel();  // EndDialog(IDCANCEL)
    void EndDialog(int result);

    // Runs DoDataExchange in one direction; while it runs, every
    // notification a control of this dialog sends is dropped.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    bool IsExchanging() const { return m_exchangeDepth > 0; }

    CMenu* GetSystemMenu(BOOL revert);
    HICON SetIcon(HICON icon, BOOL bigIcon);
    int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK);
    CWnd* GetNextDlgTabItem(CWnd* control, BOOL previous = FALSE);
    static CWnd* GetFocus() { return CWnd::GetFocus(); }
    BOOL IsIconic() const;
    void GetClientRect(CRect* rect) const;
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Handlers the event table can route (see ON_WM_* below).
    virtual void OnSysCommand(UINT id, LPARAM lParam);  // base: default handling
    virtual void OnPaint();                             // base: default painting
    virtual HCURSOR OnQueryDragIcon();

    UINT GetTemplateId() const { return m_templateId; }
    // The control with this identifier, wrapped; nullptr if none.
    CWnd* GetDlgItem(int id);
    // The control with this identifier (a direct child), or nullptr.
    wxWindow* FindControl(int id) const;
    // Whether the window exists (between creation in DoModal and its end).
    bool HasWindow() const;
#ifndef __WXMSW__
    // Shows the system menu at `pos` (client coordinates; wxDefaultPosition:
    // near the focused control) and raises the chosen command.
    void ShowSystemMenu(const wxPoint& pos = wxDefaultPosition);
#endif
    // Raises a system command as the system menu does: through the event
    // table (ON_WM_SYSCOMMAND), else the default handling.
    void RaiseSysCommand(UINT id, LPARAM lParam = 0);

    // ---- used by the event-table macros; not for the program's code
    template <auto Handler> void AfxThunk(wxCommandEvent&);
    template <auto Handler> void AfxNotifyThunk(wxListEvent&);
    void AfxSysCommandThunk(wxCommandEvent& event);
    void AfxPaintThunk(wxPaintEvent& event);
    // The wrapper of one of this dialog's controls (valid while the window
    // lives); for the layer.
    CWnd* AfxWrap(wxWindow* control);

protected:
    bool TryBefore(wxEvent& event) override;
#ifdef __WXMSW__
    // WM_SYSCOMMAND goes through the event table (ON_WM_SYSCOMMAND).
    WXLRESULT MSWWindowProc(WXUINT message, WXWPARAM wParam, WXLPARAM lParam) override;
#endif

private:
    void AfxOnCharHook(wxKeyEvent& event);
    void AfxOnClose(wxCloseEvent& event);
    void AfxOnContextMenu(wxContextMenuEvent& event);
    // The keys that open the system menu where the system does not: true
    // when `event` was one and the menu was shown.
    bool AfxSystemMenuKey(const wxKeyEvent& event);
    void AfxOnOKCommand(wxCommandEvent& event);
    void AfxOnCancelCommand(wxCommandEvent& event);
    void AfxDestroyWindow();
    void AfxApplyTemplateGeometry(const wxString& name);
    void AfxClickButton(wxWindow* button);
    void AfxRaiseCommand(int id);

    void AfxBindList(CListCtrl& control, wxListCtrl* list);

    friend void DDX_Control(CDataExchange* pDX, int idc, CListCtrl& control);
    friend void DDX_Text(CDataExchange* pDX, int idc, CString& value);
    friend class CPaintDC;

    struct Impl;
    std::unique_ptr<Impl> m_impl;
    UINT m_templateId;
    CDialog* m_pParent;
    int m_exchangeDepth = 0;
    CMenu m_systemMenu;
    // Set by the base OnSysCommand while a WM_SYSCOMMAND is being routed:
    // the command goes on to the window's default handling.
    bool* m_pSysCommandToDefault = nullptr;

    wxDECLARE_EVENT_TABLE();
};

// The system-command notification the dialog raises when an item of its
// system menu is chosen (GetInt() = command, GetExtraLong() = lParam).
wxDECLARE_EVENT(AFX_EVT_SYSCOMMAND, wxCommandEvent);

// ----------------------------------------------------------------- CWinApp
class CWinApp : public wxEvtHandler {
public:
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();  // base initialisation: TRUE
    // Called before the toolkit starts: TRUE when the words after the
    // program's name were handled without any window (no display needed),
    // with the process status in `status`. By default nothing is.
    virtual BOOL RunCommandLine(int argc, char** argv, int& status);
    HICON LoadIcon(UINT id) const;
    void OnHelp();  // the framework's default help handler

    CDialog* m_pMainWnd = nullptr;
    CString m_strAppName;  // the executable's base name unless given

    template <auto Handler> void AfxThunk(wxCommandEvent&);

    wxDECLARE_EVENT_TABLE();
};

CWinApp* AfxGetApp();
// The executable's file version ("1.0.0.1").
const char* AfxGetFileVersion();
CDialog* AfxGetMainWnd();
// The application's message box: owner the main window, caption the
// application name; an OK-only box without an icon gets the exclamation icon.
int AfxMessageBox(const char* text, UINT type = MB_OK, UINT helpId = 0);

// ----------------------------------------------------------------- threads
// AfxBeginThread and Sleep: platform/base/afxthread.h, which needs no window
// system.

// The event-table glue needs the classes above complete.
#include "platform/ui/afxmsgmap.h"
