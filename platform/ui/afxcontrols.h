// What a toolkit's controls need beyond a template's geometry, one backend
// per toolkit. Internal to the layer and its tests.
#pragma once

class wxListCtrl;
class wxString;
class wxTextCtrl;
class wxWindow;

namespace afx {

// Called for each control of a dialog once its window exists and the
// template's geometry is applied: the two below, where they apply.
void AdaptControl(wxWindow* control);

// Makes a report list readable by screen readers as a table: column
// headers, rows, cells, the selected row and the focused cell.
void ExposeListAsTable(wxListCtrl* list);

// A single-line edit too narrow for two characters and the toolkit's inner
// padding shows them fully: without that padding and centred, and where
// even that is not enough, widened into the free space on its right.
void FitNarrowEdit(wxTextCtrl* edit);

// The name a screen reader announces for `control`; a label the toolkit
// related to it no longer names it.
void SetAccessibleName(wxWindow* control, const wxString& name);

}  // namespace afx
