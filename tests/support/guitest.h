// Support for GUI tests of dialogs built on the framework layer.
//
// Link orvane_guitest and orvane_guitest_main (a GoogleTest main that
// starts the framework like the program does: wxWidgets, registered
// resource names, loaded templates, application name "Orvane"; it turns
// toolkit assertions into test failures). A test binary needs exactly one
// CWinApp: the program's own theApp, or orvane_guitest_app (a bare one that
// counts ID_HELP commands) for tests of the layer alone.
//
// Run GUI tests with a display, e.g. xvfb-run -a -s "-screen 0 1280x1024x24".
// Never sleep for a fixed time: wait with PollUntil for what must happen.
#pragma once

#include "platform/ui/afxwin.h"

#include <wx/modalhook.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

class wxListCtrl;
class wxMessageDialogBase;

namespace guitest {

using namespace std::chrono_literals;

// Yields to the event loop (pending and queued calls run; also inside a
// modal loop) until `done` returns true or `timeout` passes. Returns the
// last value of `done`.
bool PollUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5000ms);

// Processes what is pending now, without waiting for anything.
void Flush();

// ------------------------------------------------------------ message boxes
// Watches every message box (native wxMessageDialog) shown while it lives:
// records its text (UTF-8), caption and style, and closes it with its
// affirmative answer (OK/Yes) - at once, or when the test says so.
class MessageBoxWatcher : public wxModalDialogHook {
public:
    struct Box {
        std::string text;     // UTF-8
        std::string caption;  // UTF-8
        long style = 0;       // wxOK, wxICON_EXCLAMATION, ...
        bool hadParent = false;
        wxWindow* parent = nullptr;
    };
    enum class Mode { CloseAtOnce, KeepOpen };

    explicit MessageBoxWatcher(Mode mode = Mode::CloseAtOnce);
    ~MessageBoxWatcher() override;

    const std::vector<Box>& Boxes() const { return m_boxes; }
    // Boxes shown so far / open right now.
    std::size_t Count() const { return m_boxes.size(); }
    bool IsOpen() const { return m_open != nullptr; }

    // KeepOpen: the open box closes as soon as `condition` holds (checked
    // from the box's own loop every few ms), at the latest after `limit`
    // (then TimedOut() is true). Set it before the box opens.
    void CloseWhen(std::function<bool()> condition, std::chrono::milliseconds limit = 10000ms);
    bool TimedOut() const { return m_timedOut; }

protected:
    int Enter(wxDialog* dialog) override;
    void Exit(wxDialog* dialog) override;

private:
    void OnTick();

    Mode m_mode;
    std::vector<Box> m_boxes;
    wxDialog* m_open = nullptr;
    std::function<bool()> m_condition;
    std::chrono::steady_clock::time_point m_deadline;
    std::chrono::milliseconds m_limit{10000};
    bool m_timedOut = false;
    wxTimer m_timer;
};

// --------------------------------------------------------------- dialogs
// Runs dlg.DoModal() and, once the dialog is shown and modal, `script`
// inside its modal loop. If the dialog is still open `timeout` after the
// script returned, it is ended with -2 (and the result says so) instead of
// hanging the test. Returns what DoModal returned.
INT_PTR RunModal(CDialog& dlg, const std::function<void(CDialog&)>& script,
                 std::chrono::milliseconds timeout = 5000ms);

// The dialog's control with this identifier (a direct child), or nullptr.
wxWindow* FindControl(const CDialog& dlg, int id);
template <class T> T* FindControlAs(const CDialog& dlg, int id)
{
    return dynamic_cast<T*>(FindControl(dlg, id));
}

// The focused control of the dialog (the direct child holding the focus).
wxWindow* FocusedControl(const CDialog& dlg);

// ------------------------------------------------------------- real input
// Through wxUIActionSimulator (XTest under X11): the events pass through the
// window system like a user's. Each call returns after the input has been
// sent and what is pending has been processed; wait for its effect with
// PollUntil.

// Types ASCII text into the focused window.
void TypeText(const char* text);
// Presses and releases one key (WXK_... or a character), with modifiers
// (wxMOD_SHIFT, wxMOD_CONTROL, ...).
void PressKey(int keycode, int modifiers = wxMOD_NONE);
// Moves the pointer to the centre of `window` (or to `clientPoint` in its
// client coordinates) and clicks the given button.
void Click(wxWindow* window, int button = wxMOUSE_BTN_LEFT);
void ClickAt(wxWindow* window, const wxPoint& clientPoint, int button = wxMOUSE_BTN_LEFT);
// Right-click at a point of the dialog's background (client coordinates).
void RightClick(wxWindow* window, const wxPoint& clientPoint);
// Clicks the centre of row `item` of a report list (at its item rectangle,
// in screen coordinates).
void ClickListRow(wxListCtrl* list, long item);
// Puts `text` (UTF-8) on the clipboard, for paste tests.
bool SetClipboardText(const std::string& utf8);

// Gives the dialog's window the keyboard focus at the window-system level
// and waits until `control` has it (raising the window first).
bool FocusControl(CDialog& dlg, wxWindow* control);

// The text of a control, UTF-8.
std::string Utf8(const wxString& text);

}  // namespace guitest
