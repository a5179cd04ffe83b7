// The event tables: the message-map macros the program writes its tables
// with, and the thunks that turn the toolkit's events into calls of the
// program's handlers. Included by afxwin.h, after the classes it names.
#pragma once

#include "platform/ui/afxwin.h"

#include <wx/event.h>
#include <wx/listbase.h>

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
