// Drives Orvane's main dialog from another process under Wine, the way a
// person would: keys go in through the system's input (SendInput) to the
// dialog in the foreground; a click is BM_CLICK. Each command waits for what
// it caused (a window, a focus, a text) and prints what it found as UTF-8;
// status 0 when the dialog behaved.
//
//   dialog_driver fields             waits for the dialog; prints id=text of 1001..1005
//   dialog_driver tab-cycle          presses Tab until the focus is back where it was;
//                                    prints the id focused at the start and after each Tab
//   dialog_driver keys KEY...        presses each KEY: "tab", "space", or a run of
//                                    characters typed one by one; prints id=text of the
//                                    octet fields 1006..1011 and the id focused at the end
//   dialog_driver wake-empty         clicks Wake; prints the message box's caption and
//                                    texts; closes the box with its OK button
//   dialog_driver exit               clicks Exit (no wait: the process ends)
#include "dialog_window.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kFirstOctet = 1006;
constexpr int kExit = 1;

int Fail(const char* what)
{
    std::fprintf(stderr, "dialog_driver: %s\n", what);
    return 1;
}

HWND FocusOf(HWND dialog)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

// A visible top-level window of the dialog's thread other than the dialog.
HWND OtherWindow(HWND dialog)
{
    struct Search {
        HWND dialog;
        DWORD thread;
        HWND found;
    } search{dialog, GetWindowThreadProcessId(dialog, nullptr), nullptr};
    EnumThreadWindows(
        search.thread,
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            if (w != s->dialog && IsWindowVisible(w)) {
                s->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> Children(HWND parent)
{
    std::vector<HWND> all;
    EnumChildWindows(
        parent,
        [](HWND w, LPARAM p) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

int Fields(HWND dialog)
{
    for (int id = 1001; id <= 1005; ++id) {
        HWND field = GetDlgItem(dialog, id);
        if (!field)
            return Fail("an adapter field is missing");
        std::printf("%d=%s\n", id, Utf8(Text(field)).c_str());
    }
    return 0;
}

int WakeEmpty(HWND dialog)
{
    // Posted: the handler runs the message box's modal loop before it returns.
    PostMessageW(GetDlgItem(dialog, kWake), BM_CLICK, 0, 0);
    HWND box = nullptr;
    if (!WaitFor([&] { return (box = OtherWindow(dialog)) != nullptr; }))
        return Fail("no message box came up");
    std::printf("caption=%s\n", Utf8(Text(box)).c_str());
    HWND ok = nullptr;
    for (HWND child : Children(box)) {
        const std::wstring text = Text(child);
        if (!text.empty())
            std::printf("text=%s\n", Utf8(text).c_str());
        if (GetDlgCtrlID(child) == IDOK && ClassOf(child) == L"Button")
            ok = child;
    }
    if (ok)
        PostMessageW(ok, BM_CLICK, 0, 0);
    else
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    if (!WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }))
        return Fail("the message box did not close");
    return 0;
}

int FocusedId(HWND dialog)
{
    HWND focus = FocusOf(dialog);
    return focus ? GetDlgCtrlID(focus) : 0;
}

// Keys go to the foreground window's focus, as a person's do.
bool BringToFront(HWND dialog)
{
    SetForegroundWindow(dialog);
    return WaitFor([&] { return GetForegroundWindow() == dialog; });
}

void Press(WORD key)
{
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

// Tab, then wait for the focus to move.
bool PressTab(HWND dialog)
{
    HWND from = FocusOf(dialog);
    Press(VK_TAB);
    return WaitFor([&] { return FocusOf(dialog) != from; });
}

// One character, then wait for the focused field's text or the focus to
// change. The text is read through the dialog's thread, so the handlers the
// character started have run by then.
bool Type(HWND dialog, char c)
{
    const SHORT key = VkKeyScanA(c);
    if (key == -1)
        return false;
    HWND field = FocusOf(dialog);
    const std::wstring before = field ? Text(field) : std::wstring();
    Press(static_cast<WORD>(key & 0xff));
    return WaitFor([&] { return FocusOf(dialog) != field || (field && Text(field) != before); });
}

int TabCycle(HWND dialog)
{
    if (!BringToFront(dialog))
        return Fail("the dialog did not come to the front");
    HWND start = FocusOf(dialog);
    std::printf("focus=%d\n", FocusedId(dialog));
    for (int i = 0; i < 40; ++i) {
        if (!PressTab(dialog))
            return Fail("Tab did not move the focus");
        std::printf("tab=%d\n", FocusedId(dialog));
        if (FocusOf(dialog) == start)
            return 0;
    }
    return Fail("Tab never came back to where it started");
}

int Keys(HWND dialog, int count, char** keys)
{
    if (!BringToFront(dialog))
        return Fail("the dialog did not come to the front");
    for (int i = 0; i < count; ++i) {
        const std::string key = keys[i];
        if (key == "tab") {
            if (!PressTab(dialog))
                return Fail("Tab did not move the focus");
        } else if (key == "space") {
            // What Space does (a click) is for the caller to wait for.
            Press(VK_SPACE);
        } else {
            for (char c : key)
                if (!Type(dialog, c))
                    return Fail("a typed character changed nothing");
        }
    }
    for (int id = kFirstOctet; id < kFirstOctet + 6; ++id)
        std::printf("%d=%s\n", id, Utf8(Text(GetDlgItem(dialog, id))).c_str());
    std::printf("focus=%d\n", FocusedId(dialog));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Fail("usage: dialog_driver fields|tab-cycle|keys KEY...|wake-empty|exit");
    const std::string command = argv[1];
    HWND dialog = MainDialog();
    if (!dialog)
        return Fail("the dialog did not come up");
    int status = 1;
    if (command == "fields")
        status = Fields(dialog);
    else if (command == "wake-empty")
        status = WakeEmpty(dialog);
    else if (command == "tab-cycle")
        status = TabCycle(dialog);
    else if (command == "keys")
        status = Keys(dialog, argc - 2, argv + 2);
    else if (command == "exit")
        status = PostMessageW(GetDlgItem(dialog, kExit), BM_CLICK, 0, 0) ? 0 : Fail("Exit is missing");
    else
        return Fail("unknown command");
    std::fflush(stdout);
    return status;
}
