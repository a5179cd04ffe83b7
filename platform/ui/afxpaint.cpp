// Painting: the minimised window and the paint context. The icons are one
// backend per system (gtk/sysmenu_gtk.cpp, windows/sysmenu_windows.cpp).
#include "platform/ui/afxdlgimpl.h"

#include <wx/dcclient.h>
#include <wx/iconbndl.h>

BOOL CDialog::IsIconic() const
{
    return HasWindow() && IsIconized();
}

void CDialog::GetClientRect(CRect* rect) const
{
    if (!rect)
        return;
    const wxSize size = GetClientSize();
    *rect = CRect{0, 0, size.x, size.y};
}

void CDialog::OnPaint()
{
    if (m_impl->paintEvent)
        m_impl->paintEvent->Skip();  // default painting
}

void CDialog::AfxPaintThunk(wxPaintEvent& event)
{
    wxPaintEvent* outer = m_impl->paintEvent;
    m_impl->paintEvent = &event;
    OnPaint();
    m_impl->paintEvent = outer;
}

struct CPaintDC::Impl {
    std::unique_ptr<wxDC> dc;
};

CPaintDC::CPaintDC(CDialog* dialog) : m_impl(std::make_unique<Impl>())
{
    if (!dialog)
        return;
    if (dialog->m_impl->paintEvent)
        m_impl->dc = std::make_unique<wxPaintDC>(dialog);
    else
        m_impl->dc = std::make_unique<wxClientDC>(dialog);
}

CPaintDC::~CPaintDC() = default;

wxDC* CPaintDC::AfxDC() const
{
    return m_impl->dc.get();
}
