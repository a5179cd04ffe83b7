// The About box: the program's name and version.
#pragma once

#include "platform/ui/afxwin.h"
#include "res/resource.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();

    enum { IDD = IDD_ABOUTBOX };
};
