// The keyboard focus and the tab order of a dialog's controls.
#include "platform/ui/afxdlgimpl.h"
#include "platform/ui/readonlyedit.h"

#include <wx/textctrl.h>

#include <algorithm>
#include <vector>

// Here, with the tab order: a template's subclass is found by name only, and
// this object file is always linked.
wxIMPLEMENT_DYNAMIC_CLASS(CReadOnlyEdit, wxTextCtrl);

namespace {

bool IsTabStop(const wxWindow* w)
{
    return w->IsShown() && w->IsEnabled() && w->AcceptsFocusFromKeyboard();
}

}  // namespace

CWnd* CWnd::GetFocus()
{
    if (!wxThread::IsMain())
        return nullptr;
    for (wxWindow* w = wxWindow::FindFocus(); w; w = w->GetParent()) {
        if (auto* dialog = dynamic_cast<CDialog*>(w->GetParent()))
            return dialog->AfxWrap(w);
        if (w->IsTopLevel())
            break;
    }
    return nullptr;
}

CWnd* CWnd::SetFocus()
{
    CWnd* previous = GetFocus();
    if (m_pWindow)
        m_pWindow->SetFocus();
    return previous;
}

void CWnd::SetSel(int start, int end)
{
    auto* edit = dynamic_cast<wxTextCtrl*>(m_pWindow);
    if (!edit)
        return;
    const long last = edit->GetLastPosition();
    const long from = std::clamp<long>(start, 0, last);
    const long to = end < 0 ? last : std::clamp<long>(end, from, last);
    edit->SetSelection(from, to);
}

int CWnd::GetDlgCtrlID() const
{
    return m_pWindow ? m_pWindow->GetId() : 0;
}

CWnd* CDialog::GetNextDlgTabItem(CWnd* control, BOOL previous)
{
    if (!HasWindow())
        return nullptr;
    std::vector<wxWindow*> order(GetChildren().begin(), GetChildren().end());
    if (previous)
        std::reverse(order.begin(), order.end());
    if (order.empty())
        return nullptr;
    wxWindow* from = control ? afx::DirectChild(this, control->GetSafeWindow()) : nullptr;
    std::size_t start = 0;  // without a control: the first tab stop
    if (from) {
        const auto at = std::find(order.begin(), order.end(), from);
        if (at != order.end())
            start = static_cast<std::size_t>(at - order.begin()) + 1;
    }
    for (std::size_t i = 0; i < order.size(); ++i) {
        wxWindow* candidate = order[(start + i) % order.size()];
        if (IsTabStop(candidate))
            return AfxWrap(candidate);
    }
    return nullptr;
}
