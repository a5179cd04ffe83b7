// A control of a dialog, as the program's code holds it.
#pragma once

#include "platform/base/afxstr.h"

class wxWindow;

// A control of a dialog, bound by DDX_Control or handed out by focus
// services. Valid while its dialog lives.
class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // The window that has the keyboard focus, or nullptr.
    static CWnd* GetFocus();
    CWnd* SetFocus();
    // Selects characters [start, end) of an edit field; other kinds ignore it.
    void SetSel(int start, int end);
    int GetDlgCtrlID() const;

    wxWindow* GetSafeWindow() const { return m_pWindow; }  // for the layer itself
    void Attach(wxWindow* window) { m_pWindow = window; }

protected:
    wxWindow* m_pWindow = nullptr;
};
