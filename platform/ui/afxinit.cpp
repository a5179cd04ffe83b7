// Start and end of the framework.
#include "platform/ui/afxinit.h"

#include "platform/base/afxmodule.h"
#include "platform/ui/afxwin.h"
#include "platform/ui/uicall.h"
#include "res/resource.h"
#include "res/resources.h"

#include <wx/app.h>
#include <wx/init.h>
#include <wx/xrc/xmlres.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The toolkit's application object; the program's CWinApp stays separate.
// Its OnInit is never called: the command line belongs to nobody.
class AfxToolkitApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

// The executable's name (UTF-8) without directory and, as Windows names it,
// without ".exe".
std::string BaseName(std::string name)
{
    name.erase(0, name.find_last_of("/\\") + 1);
    if (name.size() > 4) {
        std::string suffix = name.substr(name.size() - 4);
        for (char& c : suffix)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (suffix == ".exe")
            name.resize(name.size() - 4);
    }
    return name.empty() ? "Orvane" : name;
}

using namespace std::chrono_literals;
// A worker may be inside a platform wait (an ARP wait is at most 100 ms)
// when the process ends; longer than that and it is left to the exit.
constexpr auto kWorkerGrace = 400ms;

}  // namespace

wxString AfxTemplateName(UINT id)
{
    switch (id) {
#define AFX_TEMPLATE_NAME(name) \
    case name:                  \
        return wxS(#name);
        AFX_RESOURCE_NAMES(AFX_TEMPLATE_NAME)
#undef AFX_TEMPLATE_NAME
        default:
            return wxString();
    }
}

bool AfxFrameworkStart(int& argc, char** argv)
{
    if (!wxApp::GetInstance())
        wxApp::SetInstance(new AfxToolkitApp);
    if (!wxEntryStart(argc, argv))
        return false;

    AfxLoadTranslations();  // before any template is loaded: they translate as they load
    wxXmlResource::Get()->InitAllHandlers();
#define AFX_REGISTER_NAME(name) wxXmlResource::GetXRCID(wxS(#name), name);
    AFX_RESOURCE_NAMES(AFX_REGISTER_NAME)
#undef AFX_REGISTER_NAME
    AfxLoadWindowResources();

    const std::string name = BaseName(AfxModulePathUtf8(argc > 0 ? argv[0] : nullptr));
    if (CWinApp* app = AfxGetApp(); app && app->m_strAppName.IsEmpty())
        app->m_strAppName = CString(GbkFromUtf8(name));
    wxTheApp->SetAppName(wxString::FromUTF8(name));
    return true;
}

void AfxFrameworkEnd()
{
    AfxReleaseWindowResources();
    AfxUnloadTranslations();
    wxEntryCleanup();
}

int AfxWinMain(int argc, char** argv)
{
    // A command runs before the toolkit, which would want a display.
    if (CWinApp* app = AfxGetApp()) {
        int status = 0;
        if (app->RunCommandLine(argc, argv, status)) {
            std::fflush(nullptr);
            return status;
        }
    }
    if (!AfxFrameworkStart(argc, argv)) {
        std::fprintf(stderr, "%s: cannot open the display (is DISPLAY set?)\n",
                     BaseName(AfxModulePathUtf8(argc > 0 ? argv[0] : nullptr)).c_str());
        return 1;
    }
    // InitInstance runs the program; FALSE (or TRUE: there are no modeless
    // windows to run a loop for) ends the process.
    if (CWinApp* app = AfxGetApp())
        app->InitInstance();

    afx::BeginProcessEnd();
    if (!afx::JoinWorkers(kWorkerGrace)) {
        // A worker is still inside a platform wait: end the process around
        // it, as the program expects, rather than tear down what it may use.
        std::fflush(nullptr);
        std::_Exit(0);
    }
    AfxFrameworkEnd();
    return 0;
}
