// What the dialog's files share: its window state and the helpers they all
// use. Internal to the layer.
#pragma once

#include "platform/ui/afxwin.h"

#include <wx/event.h>
#include <wx/string.h>

#include <map>
#include <memory>
#include <set>

struct CDialog::Impl {
    std::shared_ptr<void> lifeline;  // alive while the window exists
    bool tearingDown = false;
    bool endRequested = false;
    int result = IDCANCEL;
    // Per edit field: the member last loaded and the text the field got, so
    // that an unchanged field gives the member back as it was.
    struct Loaded {
        CString member;
        wxString shown;
    };
    std::map<int, Loaded> loaded;
    std::map<wxWindow*, std::unique_ptr<CWnd>> wrappers;
    std::set<CListCtrl*> boundLists;
    wxPaintEvent* paintEvent = nullptr;
    HICON icons[2] = {nullptr, nullptr};
};

namespace afx {

// The direct child of `dialog` that contains `window` (a list's inner
// window belongs to the list), or nullptr.
wxWindow* DirectChild(const wxWindow* dialog, wxWindow* window);

// The system menu a dialog window has before the program adds to it.
CMenu DefaultSystemMenu();

}  // namespace afx
