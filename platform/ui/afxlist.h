// The report-view list control and its notifications.
#pragma once

#include "platform/base/afxstr.h"
#include "platform/ui/afxwnd.h"

#include <cstdint>
#include <memory>

class wxListCtrl;

#ifdef _WIN32
// On Windows the list's styles and its notification header are the system's
// own.
#include <windows.h>

#include <commctrl.h>
#else
enum : DWORD { LVS_EX_GRIDLINES = 0x1, LVS_EX_FULLROWSELECT = 0x20 };
enum : int { LVCFMT_LEFT = 0, LVCFMT_CENTER = 2 };
enum : int { LVNI_SELECTED = 0x2 };

// Notification header handed to list notification handlers.
struct NMHDR {
    wxWindow* hwndFrom = nullptr;
    std::uintptr_t idFrom = 0;
    UINT code = 0;
};
enum : UINT { LVN_ITEMCHANGED = 0xFFFFFF9B };  // the list's "item changed"
#endif

// A report-view list. Every operation may be called from any thread: from a
// worker it is carried out on the UI thread and returns when done (also
// while a message box is open). Once the dialog is gone the operations do
// nothing and return failure values (-1, FALSE, empty text).
class CListCtrl : public CWnd {
public:
    CListCtrl();
    ~CListCtrl() override;

    DWORD SetExtendedStyle(DWORD styles);
    // The heading is shown in the user's language (platform/ui/afxtext.cpp).
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
