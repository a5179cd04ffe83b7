// Drives Orvane's main dialog from another process under Wine, the way a
// person would, through the controls' own messages: a click is BM_CLICK or
// the mouse messages, a keystroke WM_CHAR to the focused control. Each
// command waits for what it caused (a window, a focus, a text) and prints
// what it found as UTF-8; status 0 when the dialog behaved.
//
//   dialog_driver fields             waits for the dialog; prints id=text of 1001..1005
//   dialog_driver wake-empty         clicks Wake; prints the message box's caption and
//                                    texts; closes the box with its OK button
//   dialog_driver type-mac HEX12     clicks into 1006 and types the twelve digits;
//                                    prints the id of the control focused at the end
//   dialog_driver wake               clicks the focused control, which must be Wake
//   dialog_driver exit               clicks Exit (no wait: the process ends)
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kWaitMs = 120000;  // a bound for a loaded machine, not a measure
constexpr int kWake = 1012;
constexpr int kFirstOctet = 1006;
constexpr int kExit = 1;

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

std::wstring Text(HWND window)
{
    // WM_GETTEXT, not GetWindowText: the window belongs to another process.
    const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto got = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(got));
    return text;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

int Fail(const char* what)
{
    std::fprintf(stderr, "dialog_driver: %s\n", what);
    return 1;
}

// Polls `done` until it holds or kWaitMs pass. Only bounds a wait for
// something that must happen; nothing is measured.
template <class Done> bool WaitFor(Done done)
{
    for (int waited = 0; waited < kWaitMs; waited += 20) {
        if (done())
            return true;
        Sleep(20);
    }
    return done();
}

HWND MainDialog()
{
    HWND found = nullptr;
    WaitFor([&] {
        found = FindWindowW(nullptr, L"Orvane");
        return found != nullptr && IsWindowVisible(found) && GetDlgItem(found, kWake) != nullptr;
    });
    return found;
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

int TypeMac(HWND dialog, const char* hex)
{
    if (std::string(hex).size() != 12)
        return Fail("type-mac wants twelve hexadecimal digits");
    HWND first = GetDlgItem(dialog, kFirstOctet);
    SendMessageW(first, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(first, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    if (!WaitFor([&] { return FocusOf(dialog) == first; }))
        return Fail("the first octet field did not take the focus");
    for (const char* c = hex; *c; ++c) {
        // Sent, so the field and the dialog's handler are done on return.
        HWND focus = FocusOf(dialog);
        if (!focus)
            return Fail("nothing has the focus");
        SendMessageW(focus, WM_CHAR, static_cast<WPARAM>(*c), 1);
    }
    for (int id = kFirstOctet; id < kFirstOctet + 6; ++id)
        std::printf("%d=%s\n", id, Utf8(Text(GetDlgItem(dialog, id))).c_str());
    HWND focus = FocusOf(dialog);
    std::printf("focus=%d\n", focus ? GetDlgCtrlID(focus) : 0);
    return 0;
}

int Wake(HWND dialog)
{
    HWND focus = FocusOf(dialog);
    if (!focus || GetDlgCtrlID(focus) != kWake)
        return Fail("Wake does not have the focus");
    // Sent: the datagram has left when this returns.
    SendMessageW(focus, BM_CLICK, 0, 0);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Fail("usage: dialog_driver fields|wake-empty|type-mac HEX12|wake|exit");
    const std::string command = argv[1];
    HWND dialog = MainDialog();
    if (!dialog)
        return Fail("the dialog did not come up");
    int status = 1;
    if (command == "fields")
        status = Fields(dialog);
    else if (command == "wake-empty")
        status = WakeEmpty(dialog);
    else if (command == "type-mac" && argc == 3)
        status = TypeMac(dialog, argv[2]);
    else if (command == "wake")
        status = Wake(dialog);
    else if (command == "exit")
        status = PostMessageW(GetDlgItem(dialog, kExit), BM_CLICK, 0, 0) ? 0 : Fail("Exit is missing");
    else
        return Fail("unknown command");
    std::fflush(stdout);
    return status;
}
