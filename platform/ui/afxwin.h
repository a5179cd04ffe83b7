// The dialog framework services the program is written against, provided
// over wxWidgets. The program's own code (app/, net/) uses only what is
// declared here and in platform/base; the toolkit stays behind this header.
//
// Model: one static application object whose InitInstance() is called once
// by the framework's entry; returning FALSE ends the process with status 0.
// Dialogs are built from XRC templates named after their resource numbers
// and run modally. Handlers are routed by static event tables written with
// the macros at the end of this file.
#pragma once

#include "platform/base/afxstop.h"
#include "platform/base/afxstr.h"

#include <wx/dialog.h>
#include <wx/event.h>
#include <wx/listbase.h>

#include <cstddef>
#include <memory>
#include <type_traits>
#include <vector>

class wxWindow;
class wxListCtrl;
class wxIconBundle;
class wxMenu;
class wxDC;
class CDialog;

using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;

// ---------------------------------------------------------------- constants
#ifdef _WIN32
// On Windows the constants, icon handles, notification header, Sleep and
// GetSystemMetrics are the system's own.
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
    MB_OKCANCEL = 0x1,
    MB_YESNO = 0x4,
    MB_ICONHAND = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONASTERISK = 0x40,
    MB_ICONMASK = 0xF0,
    MB_TYPEMASK = 0x0F,
};
enum : DWORD { LVS_EX_GRIDLINES = 0x1, LVS_EX_FULLROWSELECT = 0x20 };
enum : int { LVCFMT_LEFT = 0, LVCFMT_RIGHT = 1, LVCFMT_CENTER = 2 };
enum : int { LVNI_ALL = 0x0, LVNI_FOCUSED = 0x1, LVNI_SELECTED = 0x2 };
enum : UINT { MF_STRING = 0x0, MF_SEPARATOR = 0x800 };
enum : int { SM_CXICON = 11, SM_CYICON = 12 };
enum : UINT { WM_ICONERASEBKGND = 0x27 };
enum : UINT { ICC_WIN95_CLASSES = 0xFF };

// System commands the window itself understands (default handling).
enum : UINT { SC_MINIMIZE = 0xF020, SC_CLOSE = 0xF060 };
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

// Notification header handed to list notification handlers.
struct NMHDR {
    wxWindow* hwndFrom = nullptr;
    UINT_PTR idFrom = 0;
    UINT code = 0;
};
enum : UINT { LVN_ITEMCHANGED = 0xFFFFFF9B };  // the list's "item changed"

int GetSystemMetrics(int index);
#endif
// Registers the common control classes (nothing to register on GTK).
BOOL InitCommonControlsEx(DWORD classes);

// ------------------------------------------------------------------- CWnd
// A control of a dialog, bound by DDX_Control or handed out by focus
// services. Valid while its dialog lives.
class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // The window that has the keyboard focus, or nullptr.
    static CWnd* GetFocus();
    CWnd* SetFocus();
    // Selects characters [start, end) of an edit field; other kinds ignore it.
    void SetSel(int start, int end);
    int GetDlgCtrlID() const;

    wxWindow* GetSafeWindow() const { return m_pWindow; }  // for the layer itself
    void Attach(wxWindow* window) { m_pWindow = window; }

protected:
    wxWindow* m_pWindow = nullptr;
};

// --------------------------------------------------------------- CListCtrl
// A report-view list. Every operation may be called from any thread: from a
// worker it is carried out on the UI thread and returns when done (also
// while a message box is open). Once the dialog is gone the operations do
// nothing and return failure values (-1, FALSE, empty text).
class CListCtrl : public CWnd {
public:
    CListCtrl();
    ~CListCtrl() override;

    DWORD SetExtendedStyle(DWORD styles);
    int InsertColumn(int column, const char* heading, int format = LVCFMT_LEFT, int width = -1);
    BOOL DeleteAllItems();
    int InsertItem(int item, const char* text);
    BOOL SetItemText(int item, int subItem, const char* text);
    int GetNextItem(int start, int flags) const;
    CString GetItemText(int item, int subItem) const;
    int GetItemCount() const;

    // Called by the exchange when the control is bound; and when the
    // dialog's window goes away (nullptr).
    void Bind(wxListCtrl* list, std::weak_ptr<void> lifeline);

private:
    // Copies the binding and runs `op` on the UI thread with the bound
    // list; `failure` when the call could not be carried out.
    template <class R, class Op> R Call(R failure, Op op) const;

    wxListCtrl* m_pList = nullptr;
    std::weak_ptr<void> m_lifeline;
    DWORD m_extendedStyle = 0;
    mutable int m_busy = 0;  // calls in flight on this object
};

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
    // What the system menu of such a window offers by itself.
    void AfxResetSystemMenu();
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
    HICON m_icons[2] = {nullptr, nullptr};  // small, big

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
using AFX_THREADPROC = UINT (*)(LPVOID);
class CWinThread;
// Starts a worker at once with normal priority and the default stack. Its
// return value is its exit code; nothing waits for it. nullptr when it
// could not be started.
CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param);
#ifndef _WIN32
// A pause of `ms` milliseconds; it ends early when the process ends.
void Sleep(DWORD ms);
#endif

// --------------------------------------------------------- event table glue
namespace afx_detail {
template <class M> struct MemberClass;
template <class C, class R, class... A> struct MemberClass<R (C::*)(A...)> {
    using type = C;
};
}  // namespace afx_detail

template <auto Handler> void CDialog::AfxThunk(wxCommandEvent&)
{
    using Cls = typename afx_detail::MemberClass<decltype(Handler)>::type;
    (static_cast<Cls*>(this)->*Handler)();
}

template <auto Handler> void CDialog::AfxNotifyThunk(wxListEvent& event)
{
    using Cls = typename afx_detail::MemberClass<decltype(Handler)>::type;
    NMHDR header{};
    auto* from = static_cast<wxWindow*>(event.GetEventObject());
#ifdef __WXMSW__
    header.hwndFrom = from ? static_cast<HWND>(from->GetHandle()) : nullptr;
#else
    header.hwndFrom = from;
#endif
    header.idFrom = static_cast<UINT_PTR>(event.GetId());
    header.code = LVN_ITEMCHANGED;
    LRESULT result = 0;
    (static_cast<Cls*>(this)->*Handler)(&header, &result);
}

template <auto Handler> void CWinApp::AfxThunk(wxCommandEvent&)
{
    using Cls = typename afx_detail::MemberClass<decltype(Handler)>::type;
    (static_cast<Cls*>(this)->*Handler)();
}

#define DECLARE_MESSAGE_MAP() wxDECLARE_EVENT_TABLE();
#define BEGIN_MESSAGE_MAP(theClass, baseClass) wxBEGIN_EVENT_TABLE(theClass, baseClass)
#define END_MESSAGE_MAP() wxEND_EVENT_TABLE()

#define ON_WM_SYSCOMMAND() \
    wx__DECLARE_EVT1(AFX_EVT_SYSCOMMAND, wxID_ANY, wxCommandEventHandler(CDialog::AfxSysCommandThunk))
#define ON_WM_PAINT() wx__DECLARE_EVT0(wxEVT_PAINT, wxPaintEventHandler(CDialog::AfxPaintThunk))
// The toolkit has no drag image for a minimised window: nothing to route.
#define ON_WM_QUERYDRAGICON()
#define ON_BN_CLICKED(id, handler) \
    wx__DECLARE_EVT1(wxEVT_BUTTON, id, wxCommandEventHandler(CDialog::AfxThunk<handler>))
#define ON_EN_CHANGE(id, handler) \
    wx__DECLARE_EVT1(wxEVT_TEXT, id, wxCommandEventHandler(CDialog::AfxThunk<handler>))
// "Item changed": a row became selected or deselected, or took the focus.
// clang-format off
#define ON_NOTIFY_LVN_ITEMCHANGED(id, handler)                                                   \
    wx__DECLARE_EVT1(wxEVT_LIST_ITEM_SELECTED, id, wxListEventHandler(CDialog::AfxNotifyThunk<handler>)) \
    wx__DECLARE_EVT1(wxEVT_LIST_ITEM_DESELECTED, id, wxListEventHandler(CDialog::AfxNotifyThunk<handler>)) \
    wx__DECLARE_EVT1(wxEVT_LIST_ITEM_FOCUSED, id, wxListEventHandler(CDialog::AfxNotifyThunk<handler>))
// clang-format on
#define ON_NOTIFY(code, id, handler) ON_NOTIFY_##code(id, handler)
#define ON_COMMAND(id, handler) \
    wx__DECLARE_EVT1(wxEVT_MENU, id, wxCommandEventHandler(CWinApp::AfxThunk<handler>))
