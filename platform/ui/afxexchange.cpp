// Data exchange between a dialog's controls and its members, and the
// lock-out that keeps the controls' notifications from the handlers while
// an exchange runs.
#include "platform/ui/afxdlgimpl.h"
#include "platform/ui/afxinit.h"
#include "platform/ui/upperedit.h"

#include <wx/listctrl.h>
#include <wx/textctrl.h>

namespace {

// Trailing line breaks of a member shown in a single-line field: the field
// would draw them as a glyph.
wxString ForSingleLine(const std::string& utf8)
{
    std::string shown = utf8;
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r'))
        shown.pop_back();
    return wxString::FromUTF8(shown);
}

// Control `idc` of the exchanging dialog, if the dialog has its window and
// the control is a `Control`; else nullptr.
template <class Control> Control* ExchangedControl(CDataExchange* pDX, int idc)
{
    CDialog* dialog = pDX ? pDX->m_pDlgWnd : nullptr;
    if (!dialog || !dialog->HasWindow())
        return nullptr;
    return dynamic_cast<Control*>(dialog->FindControl(idc));
}

}  // namespace

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    if (!HasWindow())
        return FALSE;
    ++m_exchangeDepth;
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    --m_exchangeDepth;
    return TRUE;
}

bool CDialog::TryBefore(wxEvent& event)
{
    // The lock-out: while an exchange runs (and while the window goes away)
    // notifications from the dialog's controls reach no handler.
    if (event.IsCommandEvent() && (m_exchangeDepth > 0 || m_impl->tearingDown)) {
        auto* source = wxDynamicCast(event.GetEventObject(), wxWindow);
        if (source && source != this && afx::DirectChild(this, source))
            return true;
    }
    return wxDialog::TryBefore(event);
}

void DDX_Control(CDataExchange* pDX, int idc, CListCtrl& control)
{
    if (auto* list = ExchangedControl<wxListCtrl>(pDX, idc))
        pDX->m_pDlgWnd->AfxBindList(control, list);
}

void CDialog::AfxBindList(CListCtrl& control, wxListCtrl* list)
{
    control.Bind(list, m_impl->lifeline);
    m_impl->boundLists.insert(&control);
}

void DDX_Text(CDataExchange* pDX, int idc, CString& value)
{
    auto* edit = ExchangedControl<wxTextCtrl>(pDX, idc);
    if (!edit)
        return;
    auto& loaded = pDX->m_pDlgWnd->m_impl->loaded;

    if (pDX->m_bSaveAndValidate) {
        const wxString text = edit->GetValue();
        const auto last = loaded.find(idc);
        if (last != loaded.end() && last->second.shown == text)
            value = last->second.member;  // untouched: the member as loaded
        else
            value = CString(AfxGbkFromWx(text));
        return;
    }

    const std::string utf8 = Utf8FromGbk(value.Bytes());
    const wxString shown = edit->IsMultiLine() ? wxString::FromUTF8(utf8) : ForSingleLine(utf8);
    if (edit->GetValue() != shown) {
        // SetValue emits the text event the lock-out drops.
        if (auto* upper = dynamic_cast<CUpperCaseEdit*>(edit))
            upper->SetValueVerbatim(shown);
        else
            edit->SetValue(shown);
    }
    loaded[idc] = CDialog::Impl::Loaded{value, shown};
}
