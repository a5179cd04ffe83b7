// An edit field that turns letters to upper case as they are typed, pasted
// or dropped, and refuses nothing (the upper-case edit style). Templates ask
// for it with subclass="CUpperCaseEdit"; the dialog activates it after
// creation. wxTextCtrl::ForceUpper() is not used: on wxGTK 3.2 it leaves the
// caret behind, reversing typed text.
#pragma once

#include <wx/textctrl.h>

class CUpperCaseEdit : public wxTextCtrl {
public:
    CUpperCaseEdit() = default;

    // Starts upper-casing user input; call once the control exists.
    void Activate();
    // Sets the text as given, without upper-casing (programmatic text is
    // the program's, not typed). Emits one text event, like SetValue().
    void SetValueVerbatim(const wxString& text);

    bool IsVerbatim() const { return m_verbatim; }

private:
    bool m_activated = false;
    bool m_verbatim = false;

    wxDECLARE_DYNAMIC_CLASS(CUpperCaseEdit);
};
