// What the programs that look at Orvane's dialog from another process under
// Wine share: finding the dialog, reading a control's text and class.
#pragma once

#include <windows.h>

#include <string>

constexpr int kWaitMs = 120000;  // a bound for a loaded machine, not a measure
constexpr int kWake = 1012;

inline std::string Utf8(const std::wstring& text)
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

inline std::wstring Text(HWND window)
{
    // WM_GETTEXT, not GetWindowText: the window belongs to another process.
    const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto got = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(got));
    return text;
}

inline std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
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

// The main dialog, once it shows its Wake button; null when it never does.
inline HWND MainDialog()
{
    HWND found = nullptr;
    const bool shown = WaitFor([&] {
        found = FindWindowW(nullptr, L"Orvane");
        return found != nullptr && IsWindowVisible(found) && GetDlgItem(found, kWake) != nullptr;
    });
    return shown ? found : nullptr;
}
