// Controls on toolkits whose native controls already show two characters in
// a narrow edit and present a report list as a table to screen readers.
#include "platform/ui/afxcontrols.h"

namespace afx {

void AdaptControl(wxWindow*) {}
void ExposeListAsTable(wxListCtrl*) {}
void FitNarrowEdit(wxTextCtrl*) {}
void SetAccessibleName(wxWindow*, const wxString&) {}

}  // namespace afx
