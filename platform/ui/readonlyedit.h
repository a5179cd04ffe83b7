// A read-only edit field that is a tab stop on every toolkit, so that a
// keyboard user can reach and copy what it shows. wxMSW's own read-only
// single-line edit declines the focus from the keyboard. Templates ask for
// it with subclass="CReadOnlyEdit".
#pragma once

#include <wx/textctrl.h>

class CReadOnlyEdit : public wxTextCtrl {
public:
    CReadOnlyEdit() = default;

    // Past wxTextCtrl's own rule, to the one every window follows.
    bool AcceptsFocusFromKeyboard() const override { return wxControl::AcceptsFocusFromKeyboard(); }

private:
    wxDECLARE_DYNAMIC_CLASS(CReadOnlyEdit);
};
