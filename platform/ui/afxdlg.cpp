// Dialogs from templates: creation, modal run, data exchange with the
// notification lock-out, keys, the system menu, focus and painting.
#include "platform/ui/afxinit.h"
#include "platform/ui/afxwin.h"
#include "platform/ui/upperedit.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/iconbndl.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/xml/xml.h>
#include <wx/xrc/xmlres.h>

#include <algorithm>
#include <map>
#include <set>

wxDEFINE_EVENT(AFX_EVT_SYSCOMMAND, wxCommandEvent);

namespace {

// The direct child of `dialog` that contains `window` (a list's inner
// window belongs to the list), or nullptr.
wxWindow* DirectChild(const wxWindow* dialog, wxWindow* window)
{
    for (wxWindow* w = window; w; w = w->GetParent()) {
        if (w->GetParent() == dialog)
            return w;
        if (w->IsTopLevel())
            break;
    }
    return nullptr;
}

bool IsTabStop(const wxWindow* w)
{
    return w->IsShown() && w->IsEnabled() && w->AcceptsFocusFromKeyboard();
}

// "x,yd" in dialog units.
bool ParseDialogUnits(const wxString& text, int* a, int* b)
{
    wxString t = text;
    t.Trim(true).Trim(false);
    if (!t.EndsWith(wxS("d")))
        return false;
    t.RemoveLast();
    long x = 0, y = 0;
    wxString first = t.BeforeFirst(wxS(','));
    wxString second = t.AfterFirst(wxS(','));
    if (!first.Trim().Trim(false).ToLong(&x) || !second.Trim().Trim(false).ToLong(&y))
        return false;
    *a = static_cast<int>(x);
    *b = static_cast<int>(y);
    return true;
}

const wxXmlNode* ChildElement(const wxXmlNode* node, const wxString& name)
{
    for (const wxXmlNode* c = node->GetChildren(); c; c = c->GetNext())
        if (c->GetType() == wxXML_ELEMENT_NODE && c->GetName() == name)
            return c;
    return nullptr;
}

// Trailing line breaks of a member shown in a single-line field: the field
// would draw them as a glyph.
wxString ForSingleLine(const std::string& utf8)
{
    std::string shown = utf8;
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r'))
        shown.pop_back();
    return wxString::FromUTF8(shown);
}

}  // namespace

struct CDialog::Impl {
    std::shared_ptr<void> lifeline;  // alive while the window exists
    bool tearingDown = false;
    bool endRequested = false;
    int result = IDCANCEL;
    // Per edit field: the member last loaded and the text the field got, so
    // that an unchanged field gives the member back as it was.
    struct Loaded {
        CString member;
        wxString shown;
    };
    std::map<int, Loaded> loaded;
    std::map<wxWindow*, std::unique_ptr<CWnd>> wrappers;
    std::set<CListCtrl*> boundLists;
    wxPaintEvent* paintEvent = nullptr;
};

// ---------------------------------------------------------------------- CWnd
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

// ------------------------------------------------------------------- CDialog
wxBEGIN_EVENT_TABLE(CDialog, wxDialog) EVT_CHAR_HOOK(CDialog::AfxOnCharHook) EVT_CLOSE(CDialog::AfxOnClose)
    EVT_CONTEXT_MENU(CDialog::AfxOnContextMenu) EVT_BUTTON(IDOK, CDialog::AfxOnOKCommand)
        EVT_BUTTON(IDCANCEL, CDialog::AfxOnCancelCommand) wxEND_EVENT_TABLE()

            CDialog::CDialog(UINT templateId, CDialog* parent)
    : m_impl(std::make_unique<Impl>()), m_templateId(templateId), m_pParent(parent)
{
    AfxResetSystemMenu();
}

CDialog::~CDialog()
{
    if (HasWindow())
        AfxDestroyWindow();
    // Whatever the toolkit still sends while the window goes away reaches
    // no handler of a class that is already gone.
    m_impl->tearingDown = true;
}

bool CDialog::HasWindow() const
{
    return m_impl->lifeline != nullptr;
}

INT_PTR CDialog::DoModal()
{
    if (HasWindow() || GetHandle() || !wxTheApp)
        return -1;  // one window per object
    const wxString name = AfxTemplateName(m_templateId);
    if (name.empty())
        return -1;

    wxWindow* owner = (m_pParent && m_pParent->HasWindow()) ? m_pParent : nullptr;
    if (!owner) {
        CDialog* main = AfxGetMainWnd();
        if (main && main != this && main->HasWindow())
            owner = main;
    }
    if (!wxXmlResource::Get()->LoadDialog(this, owner, name))
        return -1;

    m_impl->lifeline = std::make_shared<int>(0);
    m_impl->tearingDown = false;
    m_impl->endRequested = false;
    m_impl->result = IDCANCEL;
    SetEscapeId(wxID_NONE);  // Esc and the close box are ours
    AfxApplyTemplateGeometry(name);
    for (wxWindow* child : GetChildren())
        if (auto* edit = dynamic_cast<CUpperCaseEdit*>(child))
            edit->Activate();
    if (owner)
        CentreOnParent();
    else
        CentreOnScreen();

    if (OnInitDialog()) {
        if (CWnd* first = GetNextDlgTabItem(nullptr))
            first->SetFocus();
    }
    if (!m_impl->endRequested) {
        const int code = ShowModal();
        if (!m_impl->endRequested)
            m_impl->result = code;
    }
    const INT_PTR result = m_impl->result;
    // Workers handed one of its lists are stopped by the list itself
    // before it is destroyed (~CListCtrl).
    AfxDestroyWindow();
    return result;
}

void CDialog::AfxDestroyWindow()
{
    m_impl->tearingDown = true;
    m_impl->lifeline.reset();  // pending and future list calls give up
    for (CListCtrl* list : m_impl->boundLists)
        list->Bind(nullptr, {});
    m_impl->boundLists.clear();
    m_impl->wrappers.clear();
    m_impl->loaded.clear();
    if (IsModal())
        EndModal(m_impl->result);
    Hide();
    DestroyChildren();
}

void CDialog::AfxApplyTemplateGeometry(const wxString& name)
{
    // The template's dialog units are converted with the dialog's final
    // font; the loader converts the dialog's own size before the font is
    // set, so both are applied again here.
    const wxXmlNode* node = wxXmlResource::Get()->GetResourceNode(name);
    if (!node)
        return;
    int w = 0, h = 0;
    if (const wxXmlNode* size = ChildElement(node, wxS("size"));
        size && ParseDialogUnits(size->GetNodeContent(), &w, &h))
        SetClientSize(ConvertDialogToPixels(wxSize(w, h)));

    std::vector<const wxXmlNode*> objects;
    for (const wxXmlNode* c = node->GetChildren(); c; c = c->GetNext())
        if (c->GetType() == wxXML_ELEMENT_NODE && c->GetName() == wxS("object"))
            objects.push_back(c);
    const wxWindowList& children = GetChildren();
    if (objects.size() != children.size())
        return;
    std::size_t i = 0;
    for (wxWindow* child : children) {
        const wxXmlNode* object = objects[i++];
        const wxXmlNode* pos = ChildElement(object, wxS("pos"));
        const wxXmlNode* size = ChildElement(object, wxS("size"));
        int x = 0, y = 0;
        if (!pos || !size || !ParseDialogUnits(pos->GetNodeContent(), &x, &y) ||
            !ParseDialogUnits(size->GetNodeContent(), &w, &h))
            continue;
        child->SetSize(wxRect(ConvertDialogToPixels(wxPoint(x, y)), ConvertDialogToPixels(wxSize(w, h))));
    }
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::EndDialog(int result)
{
    m_impl->result = result;
    m_impl->endRequested = true;
    if (IsModal())
        EndModal(result);
}

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
        if (source && source != this && DirectChild(this, source))
            return true;
    }
    return wxDialog::TryBefore(event);
}

wxWindow* CDialog::FindControl(int id) const
{
    for (wxWindow* child : GetChildren())
        if (child->GetId() == id)
            return child;
    return nullptr;
}

CWnd* CDialog::GetDlgItem(int id)
{
    return AfxWrap(FindControl(id));
}

CWnd* CDialog::AfxWrap(wxWindow* control)
{
    if (!control || !HasWindow())
        return nullptr;
    auto& wrapper = m_impl->wrappers[control];
    if (!wrapper) {
        wrapper = std::make_unique<CWnd>();
        wrapper->Attach(control);
    }
    return wrapper.get();
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
    wxWindow* from = control ? DirectChild(this, control->GetSafeWindow()) : nullptr;
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

int CDialog::MessageBox(const char* text, const char* caption, UINT type)
{
    return AfxShowMessageBox(HasWindow() ? this : nullptr, text, caption, type);
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

void CDialog::OnPaint()
{
    if (m_impl->paintEvent)
        m_impl->paintEvent->Skip();  // default painting
}

void CDialog::AfxSysCommandThunk(wxCommandEvent& event)
{
    OnSysCommand(static_cast<UINT>(event.GetInt()), static_cast<LPARAM>(event.GetExtraLong()));
}

void CDialog::AfxPaintThunk(wxPaintEvent& event)
{
    wxPaintEvent* outer = m_impl->paintEvent;
    m_impl->paintEvent = &event;
    OnPaint();
    m_impl->paintEvent = outer;
}

void CDialog::RaiseSysCommand(UINT id, LPARAM lParam)
{
    wxCommandEvent event(AFX_EVT_SYSCOMMAND, GetId());
    event.SetEventObject(this);
    event.SetInt(static_cast<int>(id));
    event.SetExtraLong(static_cast<long>(lParam));
    if (!ProcessWindowEvent(event))
        CDialog::OnSysCommand(id, lParam);
}

void CDialog::AfxRaiseCommand(int id)
{
    wxCommandEvent event(wxEVT_BUTTON, id);
    event.SetEventObject(this);
    ProcessWindowEvent(event);
}

void CDialog::AfxClickButton(wxWindow* button)
{
    wxCommandEvent event(wxEVT_BUTTON, button->GetId());
    event.SetEventObject(button);
    button->ProcessWindowEvent(event);
}

void CDialog::AfxOnOKCommand(wxCommandEvent&)
{
    OnOK();
}
void CDialog::AfxOnCancelCommand(wxCommandEvent&)
{
    OnCancel();
}

void CDialog::AfxOnClose(wxCloseEvent&)
{
    AfxRaiseCommand(IDCANCEL);
}

void CDialog::AfxOnCharHook(wxKeyEvent& event)
{
    const int key = event.GetKeyCode();
    const int modifiers = event.GetModifiers();
    wxWindow* focused = DirectChild(this, wxWindow::FindFocus());
    auto* button = dynamic_cast<wxButton*>(focused);

    if (modifiers == wxMOD_NONE) {
        switch (key) {
            case WXK_ESCAPE:
                AfxRaiseCommand(IDCANCEL);
                return;
            case WXK_RETURN:
            case WXK_NUMPAD_ENTER:
                // No default push button: Enter clicks the focused button, and
                // anywhere else it is the dialog's OK.
                if (button)
                    AfxClickButton(button);
                else
                    AfxRaiseCommand(IDOK);
                return;
            case WXK_SPACE:
                if (button) {
                    AfxClickButton(button);
                    return;
                }
                break;
            case WXK_F1:
                if (CWinApp* app = AfxGetApp()) {
                    wxCommandEvent help(wxEVT_MENU, static_cast<int>(ID_HELP));
                    help.SetEventObject(this);
                    app->ProcessEvent(help);
                }
                return;
            default:
                break;
        }
    }
    if (AfxSystemMenuKey(event))
        return;
    event.Skip();
}

// ------------------------------------------------------------ data exchange
void DDX_Control(CDataExchange* pDX, int idc, CListCtrl& control)
{
    CDialog* dialog = pDX ? pDX->m_pDlgWnd : nullptr;
    if (!dialog || !dialog->HasWindow())
        return;
    auto* list = dynamic_cast<wxListCtrl*>(dialog->FindControl(idc));
    if (!list)
        return;
    dialog->AfxBindList(control, list);
}

void CDialog::AfxBindList(CListCtrl& control, wxListCtrl* list)
{
    control.Bind(list, m_impl->lifeline);
    m_impl->boundLists.insert(&control);
}

void DDX_Text(CDataExchange* pDX, int idc, CString& value)
{
    CDialog* dialog = pDX ? pDX->m_pDlgWnd : nullptr;
    if (!dialog || !dialog->HasWindow())
        return;
    auto* edit = dynamic_cast<wxTextCtrl*>(dialog->FindControl(idc));
    if (!edit)
        return;
    auto& loaded = dialog->m_impl->loaded;

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

// ------------------------------------------------------------------ CPaintDC
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
