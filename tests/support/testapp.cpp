#include "tests/support/testapp.h"

#include "platform/ui/afxwin.h"

namespace {

class CGuiTestApp : public CWinApp {
public:
    BOOL InitInstance() override { return FALSE; }
    void OnHelpCommand() { ++m_helpCount; }
    int m_helpCount = 0;

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CGuiTestApp, CWinApp)
    ON_COMMAND(ID_HELP, &CGuiTestApp::OnHelpCommand)
END_MESSAGE_MAP()

CGuiTestApp theApp;

}  // namespace

int guitest::HelpCommandCount()
{
    return theApp.m_helpCount;
}
