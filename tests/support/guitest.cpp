#include "tests/support/guitest.h"

#include <wx/app.h>
#include <wx/clipbrd.h>
#include <wx/dialog.h>
#include <wx/listctrl.h>
#include <wx/msgdlg.h>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

#include <memory>
#include <thread>

namespace guitest {

void Flush()
{
    if (wxTheApp)
        wxTheApp->Yield(false);
}

bool PollUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return done();
        Flush();
        // A short pause between looks, so the window system gets the CPU.
        std::this_thread::sleep_for(2ms);
    }
}

// ------------------------------------------------------------ message boxes
MessageBoxWatcher::MessageBoxWatcher(Mode mode) : m_mode(mode)
{
    m_timer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { OnTick(); });
    Register();
}

MessageBoxWatcher::~MessageBoxWatcher()
{
    m_timer.Stop();
    Unregister();
}

void MessageBoxWatcher::CloseWhen(std::function<bool()> condition, std::chrono::milliseconds limit)
{
    m_condition = std::move(condition);
    m_limit = limit;
}

int MessageBoxWatcher::Enter(wxDialog* dialog)
{
    auto* box = dynamic_cast<wxMessageDialogBase*>(dialog);
    if (!box)
        return wxID_NONE;  // not a message box: show it as usual
    Box record;
    record.text = Utf8(box->GetMessage());
    record.caption = Utf8(box->GetTitle());
    record.style = box->GetMessageDialogStyle();
    record.parent = box->GetParent();
    record.hadParent = record.parent != nullptr;
    m_boxes.push_back(record);
    m_open = dialog;
    m_timedOut = false;
    m_deadline = std::chrono::steady_clock::now() + m_limit;
    m_timer.Start(5);
    return wxID_NONE;
}

void MessageBoxWatcher::Exit(wxDialog* dialog)
{
    if (dialog != m_open)
        return;
    m_open = nullptr;
    m_timer.Stop();
}

void MessageBoxWatcher::OnTick()
{
    if (!m_open || !m_open->GetHandle())
        return;  // not realised yet
    bool close = m_mode == Mode::CloseAtOnce;
    if (!close && m_condition && m_condition())
        close = true;
    if (!close && std::chrono::steady_clock::now() >= m_deadline) {
        m_timedOut = true;
        close = true;
    }
    if (!close)
        return;
    m_timer.Stop();
#ifdef __WXGTK__
    auto* box = dynamic_cast<wxMessageDialogBase*>(m_open);
    const bool yesNo = box && (box->GetMessageDialogStyle() & wxYES_NO);
    gtk_dialog_response(GTK_DIALOG(m_open->GetHandle()), yesNo ? GTK_RESPONSE_YES : GTK_RESPONSE_OK);
#else
    m_open->EndModal(wxID_OK);
#endif
}

// --------------------------------------------------------------- dialogs
namespace {
struct ModalRun {
    bool finished = false;  // DoModal has returned: stop looking
    bool started = false;
};
}  // namespace

INT_PTR RunModal(CDialog& dlg, const std::function<void(CDialog&)>& script, std::chrono::milliseconds timeout)
{
    auto run = std::make_shared<ModalRun>();
    bool forced = false;
    std::function<void()> start;
    start = [&, run] {
        if (run->finished || run->started)
            return;
        if (!dlg.IsModal() || !dlg.IsShownOnScreen()) {
            wxTheApp->CallAfter(start);
            return;
        }
        run->started = true;
        // Keys go to the active window. Without a window manager the X
        // server's focus follows the pointer: bring the pointer over the
        // dialog if it has not become active by itself.
        if (!PollUntil([&] { return dlg.IsActive(); }, 300ms)) {
            wxUIActionSimulator sim;
            const wxRect rect = dlg.GetScreenRect();
            sim.MouseMove(rect.GetPosition() + wxPoint(2, rect.height / 2));
            PollUntil([&] { return dlg.IsActive(); }, 2000ms);
        }
        script(dlg);
        if (!PollUntil([&] { return !dlg.IsModal(); }, timeout)) {
            forced = true;
            dlg.EndDialog(-2);
        }
    };
    wxTheApp->CallAfter(start);
    const INT_PTR result = dlg.DoModal();
    run->finished = true;
    // Queued copies of `start` refer to this frame; they see `finished`.
    Flush();
    return forced ? -2 : result;
}

wxWindow* FindControl(const CDialog& dlg, int id)
{
    return dlg.FindControl(id);
}

wxWindow* FocusedControl(const CDialog& dlg)
{
    for (wxWindow* w = wxWindow::FindFocus(); w; w = w->GetParent()) {
        if (w->GetParent() == &dlg)
            return w;
        if (w->IsTopLevel())
            break;
    }
    return nullptr;
}

bool FocusControl(CDialog& dlg, wxWindow* control)
{
    dlg.Raise();
    control->SetFocus();
    return PollUntil([&] { return FocusedControl(dlg) == control; }, 2000ms);
}

// ------------------------------------------------------------- real input
void TypeText(const char* text)
{
    wxUIActionSimulator sim;
    sim.Text(text);
    Flush();
}

void PressKey(int keycode, int modifiers)
{
    wxUIActionSimulator sim;
    sim.Char(keycode, modifiers);
    Flush();
}

void ClickAt(wxWindow* window, const wxPoint& clientPoint, int button)
{
    wxUIActionSimulator sim;
    sim.MouseMove(window->ClientToScreen(clientPoint));
    Flush();
    sim.MouseClick(button);
    Flush();
}

void Click(wxWindow* window, int button)
{
    const wxSize size = window->GetClientSize();
    ClickAt(window, wxPoint(size.x / 2, size.y / 2), button);
}

void RightClick(wxWindow* window, const wxPoint& clientPoint)
{
    ClickAt(window, clientPoint, wxMOUSE_BTN_RIGHT);
}

void ClickListRow(wxListCtrl* list, long item)
{
    wxRect rect;
    if (!list->GetItemRect(item, rect))
        return;
    ClickAt(list, wxPoint(rect.x + rect.width / 2, rect.y + rect.height / 2));
}

bool SetClipboardText(const std::string& utf8)
{
    if (!wxTheClipboard->Open())
        return false;
    const bool ok = wxTheClipboard->SetData(new wxTextDataObject(wxString::FromUTF8(utf8)));
    wxTheClipboard->Close();
    Flush();
    return ok;
}

std::string Utf8(const wxString& text)
{
    return text.utf8_string();
}

}  // namespace guitest
