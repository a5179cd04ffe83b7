// Start and end of the framework, shared by the program's entry (appmain)
// and the GUI tests' entry. Internal to the layer and its tests.
#pragma once

#include "platform/base/afxstr.h"

#include <wx/string.h>

class wxWindow;

// Initialises wxWidgets (GUI), registers the resource names with their
// numbers, loads the compiled templates and sets the application name to
// the base name of argv[0] unless the application object has one. False
// when there is no display (nothing to clean up then).
bool AfxFrameworkStart(int& argc, char** argv);
// Releases resources and cleans up wxWidgets.
void AfxFrameworkEnd();
// The whole life of the program: start, InitInstance, end. Returns the
// process status.
int AfxWinMain(int argc, char** argv);

// The template name registered for resource number `id`; empty if none.
wxString AfxTemplateName(UINT id);

// A message box owned by `owner` (may be nullptr); the caption is the
// application name when `caption` is null. Returns IDOK, IDCANCEL, IDYES or
// IDNO.
int AfxShowMessageBox(wxWindow* owner, const char* text, const char* caption, UINT type);

// Chooses the catalog of translations for the user's language and loads
// it; with none the program's own texts are shown.
void AfxLoadTranslations();
// The catalog's name (orvane.mo).
inline const wxString kAfxTextDomain = wxS("orvane");
void AfxUnloadTranslations();
// One of the program's own texts (GBK), as the user reads it: its
// translation from the catalog, else the text itself.
wxString AfxWxText(const char* gbk);
// A message box's text as the user reads it: translated whole, else its
// first line (with its line feed) translated and the rest, a detail such as
// the system's error text, as it is.
wxString AfxWxMessage(const char* gbk);

// Narrow (GBK) text to and from the toolkit's text.
wxString AfxWxFromGbk(const char* gbk);
std::string AfxGbkFromWx(const wxString& text);
