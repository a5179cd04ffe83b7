// Painting: the window's icons, the minimised window, the paint context.
#include "platform/ui/afxdlgimpl.h"

#include <wx/dcclient.h>
#include <wx/iconbndl.h>

HICON CDialog::SetIcon(HICON icon, BOOL bigIcon)
{
    HICON& slot = m_impl->icons[bigIcon ? 1 : 0];
    const HICON previous = slot;
    slot = icon;
    if (icon && HasWindow())
        SetIcons(*icon);
    return previous;
}

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

LRESULT CDialog::SendMessage(UINT, WPARAM, LPARAM)
{
    // WM_ICONERASEBKGND: the toolkit erases the background itself.
    return 0;
}

void CDialog::OnPaint()
{
    if (m_impl->paintEvent)
        m_impl->paintEvent->Skip();  // default painting
}

HCURSOR CDialog::OnQueryDragIcon()
{
    return m_impl->icons[1];
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

BOOL CPaintDC::DrawIcon(int x, int y, HICON icon)
{
    if (!m_impl->dc || !icon)
        return FALSE;
    const wxIcon image = icon->GetIcon(wxSize(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)));
    if (!image.IsOk())
        return FALSE;
    m_impl->dc->DrawIcon(image, x, y);
    return TRUE;
}
