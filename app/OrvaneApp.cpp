#include "app/OrvaneApp.h"

#include "app/OrvaneDlg.h"
#include "cli/OrvaneCmd.h"

BEGIN_MESSAGE_MAP(COrvaneApp, CWinApp)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

COrvaneApp::COrvaneApp() = default;

COrvaneApp theApp;

BOOL COrvaneApp::InitInstance()
{
    InitCommonControlsEx(ICC_WIN95_CLASSES);
    CWinApp::InitInstance();

    COrvaneDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;

    // No message loop of our own: the process ends with the dialog.
    return FALSE;
}

BOOL COrvaneApp::RunCommandLine(int argc, char** argv, int& status)
{
    // Without words, the dialog, as always.
    if (argc <= 1)
        return FALSE;
    status = OrvaneCommandMain(argc, argv);
    return TRUE;
}
