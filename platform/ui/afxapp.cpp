// The application object, message boxes and small system services.
#include "platform/ui/afxinit.h"
#include "platform/ui/afxwin.h"

#include "res/resources.h"
#include "res/version.h"

#include <wx/app.h>
#include <wx/msgdlg.h>
#include <wx/translation.h>

namespace {
CWinApp* g_app = nullptr;
}

wxBEGIN_EVENT_TABLE(CWinApp, wxEvtHandler) wxEND_EVENT_TABLE()

    CWinApp::CWinApp(const char* appName)
{
    if (appName)
        m_strAppName = appName;
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

BOOL CWinApp::RunCommandLine(int, char**, int&)
{
    return FALSE;
}

// The toolkit has no help of its own for this program: nothing to show.
void CWinApp::OnHelp() {}

CWinApp* AfxGetApp()
{
    return g_app;
}

CDialog* AfxGetMainWnd()
{
    return g_app ? g_app->m_pMainWnd : nullptr;
}

const char* AfxGetFileVersion()
{
    // Referenced so that the version record is linked into the executable.
    asm volatile("" : : "r"(g_afxVersionRecord));
    return ORVANE_FILE_VERSION;
}

int AfxMessageBox(const char* text, UINT type, UINT)
{
    if ((type & MB_TYPEMASK) == MB_OK && (type & MB_ICONMASK) == 0)
        type |= MB_ICONEXCLAMATION;
    CDialog* main = AfxGetMainWnd();
    return AfxShowMessageBox(main && main->HasWindow() ? main : nullptr, text, nullptr, type);
}

int AfxShowMessageBox(wxWindow* owner, const char* text, const char* caption, UINT type)
{
    wxString title;
    if (caption)
        title = AfxWxFromGbk(caption);
    else if (g_app && !g_app->m_strAppName.IsEmpty())
        title = AfxWxFromGbk(g_app->m_strAppName);
    else if (wxTheApp)
        title = wxTheApp->GetAppName();

    long style = 0;
    switch (type & MB_TYPEMASK) {
        case MB_YESNO:
            style = wxYES_NO;
            break;
        default:
            style = wxOK;
            break;
    }
    switch (type & MB_ICONMASK) {
        case MB_ICONHAND:
            style |= wxICON_ERROR;
            break;
        case MB_ICONQUESTION:
            style |= wxICON_QUESTION;
            break;
        case MB_ICONEXCLAMATION:
            style |= wxICON_EXCLAMATION;
            break;
        default:
            style |= wxICON_NONE;
            break;
    }
    wxMessageDialog box(owner, AfxWxMessage(text), title, style);
    switch (box.ShowModal()) {
        case wxID_CANCEL:
            return IDCANCEL;
        case wxID_YES:
            return IDYES;
        case wxID_NO:
            return IDNO;
        default:
            return IDOK;
    }
}

wxString AfxWxMessage(const char* gbk)
{
    // A message and its detail (the system's words for a failure, say) are
    // one text; the catalog has the message alone.
    const wxString text = AfxWxFromGbk(gbk);
    if (const wxString whole = wxGetTranslation(text, kAfxTextDomain); whole != text)
        return whole;
    const int cut = text.Find(wxS('\n'));
    if (cut == wxNOT_FOUND)
        return text;
    return wxGetTranslation(text.Left(cut + 1), kAfxTextDomain) + text.Mid(cut + 1);
}

wxString AfxWxFromGbk(const char* gbk)
{
    return wxString::FromUTF8(Utf8FromGbk(gbk ? gbk : ""));
}

std::string AfxGbkFromWx(const wxString& text)
{
    return GbkFromUtf8(text.utf8_string());
}
