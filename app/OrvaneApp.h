// The application object: runs the main dialog and ends the process.
#pragma once

#include "platform/ui/afxwin.h"

class COrvaneApp : public CWinApp {
public:
    COrvaneApp();

    BOOL InitInstance() override;
    BOOL RunCommandLine(int argc, char** argv, int& status) override;

    DECLARE_MESSAGE_MAP()
};

extern COrvaneApp theApp;
