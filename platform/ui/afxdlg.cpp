// Dialogs from templates: creation, the modal run and the end, the
// dialog's controls, and the commands that end it.
#include "platform/ui/afxcontrols.h"
#include "platform/ui/afxdlgimpl.h"
#include "platform/ui/afxinit.h"
#include "platform/ui/upperedit.h"

#include <wx/app.h>
#include <wx/xrc/xmlres.h>

wxWindow* afx::DirectChild(const wxWindow* dialog, wxWindow* window)
{
    for (wxWindow* w = window; w; w = w->GetParent()) {
        if (w->GetParent() == dialog)
            return w;
        if (w->IsTopLevel())
            break;
    }
    return nullptr;
}

// clang-format off
wxBEGIN_EVENT_TABLE(CDialog, wxDialog)
    EVT_CHAR_HOOK(CDialog::AfxOnCharHook)
    EVT_CLOSE(CDialog::AfxOnClose)
    EVT_CONTEXT_MENU(CDialog::AfxOnContextMenu)
    EVT_BUTTON(IDOK, CDialog::AfxOnOKCommand)
    EVT_BUTTON(IDCANCEL, CDialog::AfxOnCancelCommand)
wxEND_EVENT_TABLE()
    // clang-format on

    CDialog::CDialog(UINT templateId, CDialog* parent)
    : m_impl(std::make_unique<Impl>()),
      m_templateId(templateId),
      m_pParent(parent),
      m_systemMenu(afx::DefaultSystemMenu())
{}

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
    for (wxWindow* child : GetChildren()) {
        if (auto* edit = dynamic_cast<CUpperCaseEdit*>(child))
            edit->Activate();
        afx::AdaptControl(child);
    }
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

int CDialog::MessageBox(const char* text, const char* caption, UINT type)
{
    return AfxShowMessageBox(HasWindow() ? this : nullptr, text, caption, type);
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
