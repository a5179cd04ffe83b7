// The report list. Every operation runs on the UI thread: inline there, and
// for a worker by a call that waits (afx::RunOnUiThread). Indexes are
// checked here because the toolkit treats bad ones as programming errors.
#include "platform/ui/afxinit.h"
#include "platform/ui/afxwin.h"
#include "platform/ui/uicall.h"

#include <wx/listctrl.h>

#include <algorithm>

CListCtrl::CListCtrl() = default;

CListCtrl::~CListCtrl()
{
    // A worker handed this list (the sweep) must be gone before the object
    // is: it would call into freed memory. Asked to stop, it returns within
    // a few milliseconds, or once the ARP request it is blocked in returns
    // (Windows' cannot be cut short); the window is already hidden.
    afx::StopWorkersUsing(this);
    // A worker's call on this object may still be on its way out.
    afx::CallScope::WaitIdle(m_busy);
}

void CListCtrl::Bind(wxListCtrl* list, std::weak_ptr<void> lifeline)
{
    afx::CallScope::Locked([&] {
        const bool same =
            m_pList == list && !m_lifeline.owner_before(lifeline) && !lifeline.owner_before(m_lifeline);
        if (same)
            return;
        m_pList = list;
        m_lifeline = std::move(lifeline);
    });
    m_pWindow = list;
}

template <class R, class Op> R CListCtrl::Call(R failure, Op op) const
{
    afx::CallScope scope(m_busy);
    if (!scope)
        return failure;
    wxListCtrl* list = nullptr;
    std::weak_ptr<void> lifeline;
    afx::CallScope::Locked([&] {
        list = m_pList;
        lifeline = m_lifeline;
    });
    if (!list)
        return failure;
    R result = failure;
    if (!afx::RunOnUiThread(lifeline, [&] { result = op(list); }))
        return failure;
    return result;
}

DWORD CListCtrl::SetExtendedStyle(DWORD styles)
{
    return Call<DWORD>(0, [&](wxListCtrl* list) {
        const DWORD previous = m_extendedStyle;
        m_extendedStyle = styles;
        long flags = list->GetWindowStyleFlag() & ~(wxLC_HRULES | wxLC_VRULES);
        if (styles & LVS_EX_GRIDLINES)
            flags |= wxLC_HRULES | wxLC_VRULES;
        // Whole rows are always selected by this list: LVS_EX_FULLROWSELECT
        // needs nothing more.
        list->SetWindowStyleFlag(flags);
        list->Refresh();
        return previous;
    });
}

int CListCtrl::InsertColumn(int column, const char* heading, int format, int width)
{
    const std::string utf8 = AfxWxText(heading ? heading : "").utf8_string();  // the user's language
    return Call<int>(-1, [&](wxListCtrl* list) {
        if (column < 0)
            return -1;
        const int at = std::min(column, list->GetColumnCount());
        const wxListColumnFormat align = format == LVCFMT_CENTER ? wxLIST_FORMAT_CENTRE : wxLIST_FORMAT_LEFT;
        return static_cast<int>(list->InsertColumn(at, wxString::FromUTF8(utf8), align, width));
    });
}

BOOL CListCtrl::DeleteAllItems()
{
    return Call<BOOL>(FALSE, [](wxListCtrl* list) { return list->DeleteAllItems() ? TRUE : FALSE; });
}

int CListCtrl::InsertItem(int item, const char* text)
{
    const std::string utf8 = Utf8FromGbk(text ? text : "");
    return Call<int>(-1, [&](wxListCtrl* list) {
        if (item < 0)
            return -1;
        const long at = std::min<long>(item, list->GetItemCount());
        return static_cast<int>(list->InsertItem(at, wxString::FromUTF8(utf8)));
    });
}

BOOL CListCtrl::SetItemText(int item, int subItem, const char* text)
{
    const std::string utf8 = Utf8FromGbk(text ? text : "");
    return Call<BOOL>(FALSE, [&](wxListCtrl* list) {
        if (item < 0 || item >= list->GetItemCount())
            return FALSE;
        if (subItem < 0 || subItem >= std::max(1, list->GetColumnCount()))
            return FALSE;
        return list->SetItem(item, subItem, wxString::FromUTF8(utf8)) ? TRUE : FALSE;
    });
}

int CListCtrl::GetNextItem(int start, int flags) const
{
    return Call<int>(-1, [&](wxListCtrl* list) {
        const int from = std::max(start, -1);
        if (from >= list->GetItemCount())
            return -1;
        long state = wxLIST_STATE_DONTCARE;
        if (flags & LVNI_SELECTED)
            state |= wxLIST_STATE_SELECTED;
        return static_cast<int>(list->GetNextItem(from, wxLIST_NEXT_ALL, state));
    });
}

CString CListCtrl::GetItemText(int item, int subItem) const
{
    return CString(Call<std::string>(std::string(), [&](wxListCtrl* list) {
        if (item < 0 || item >= list->GetItemCount())
            return std::string();
        if (subItem < 0 || subItem >= std::max(1, list->GetColumnCount()))
            return std::string();
        return AfxGbkFromWx(list->GetItemText(item, subItem));
    }));
}

int CListCtrl::GetItemCount() const
{
    return Call<int>(0, [](wxListCtrl* list) { return list->GetItemCount(); });
}
