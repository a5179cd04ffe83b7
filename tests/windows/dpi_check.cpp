// Checks the layout of Orvane's main dialog, as Windows draws it at the
// display's DPI, from another process under Wine: no two controls overlap,
// none crosses the edge of a group box or of the dialog, every label,
// button and group caption fits its text in the control's own font, and
// each octet field shows two hexadecimal digits. Prints one line per
// control and per fault; status 0 when there is none.
//
//   dpi_check         waits for the dialog, then checks it once
#include "dialog_window.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kFirstOctet = 1006;
constexpr int kLastOctet = 1011;

struct Control {
    HWND window;
    int id;
    std::wstring kind;  // Static, Edit, Button, GroupBox, ...
    std::wstring text;
    RECT rect;  // in the dialog's client coordinates
};

// The extent of `text` drawn in the control's font, measured in this
// process with a copy of that font.
SIZE TextExtent(HWND control, const std::wstring& text, int* lineHeight)
{
    LOGFONTW logFont = {};
    auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    if (font == nullptr || GetObjectW(font, sizeof logFont, &logFont) == 0)
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof logFont, &logFont);
    HFONT copy = CreateFontIndirectW(&logFont);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, copy);
    RECT box = {0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    *lineHeight = metrics.tmHeight;
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(copy);
    return {box.right - box.left, box.bottom - box.top};
}

int g_faults = 0;

void Fault(const Control& c, const char* what)
{
    std::printf("FAULT %d %s \"%s\": %s\n", c.id, Utf8(c.kind).c_str(), Utf8(c.text).c_str(), what);
    ++g_faults;
}

bool Inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

bool Overlap(const RECT& a, const RECT& b)
{
    RECT both;
    return IntersectRect(&both, &a, &b) != FALSE;
}

}  // namespace

int main()
{
    // Coordinates in physical pixels, whatever the display's DPI.
    SetProcessDPIAware();

    HWND dialog = MainDialog();
    if (dialog == nullptr) {
        std::fprintf(stderr, "dpi_check: no dialog\n");
        return 2;
    }

    HDC screen = GetDC(nullptr);
    std::printf("dpi %d\n", GetDeviceCaps(screen, LOGPIXELSX));
    ReleaseDC(nullptr, screen);
    RECT client;
    GetClientRect(dialog, &client);
    std::printf("dialog %ldx%ld\n", client.right, client.bottom);

    std::vector<Control> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child))
            continue;
        Control c{child, GetDlgCtrlID(child), ClassOf(child), Text(child), {}};
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if (c.kind == L"Button" && (style & BS_TYPEMASK) == BS_GROUPBOX)
            c.kind = L"GroupBox";
        GetWindowRect(child, &c.rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&c.rect), 2);
        std::printf("control %d %s \"%s\" %ld,%ld %ldx%ld\n", c.id, Utf8(c.kind).c_str(),
                    Utf8(c.text).c_str(), c.rect.left, c.rect.top, c.rect.right - c.rect.left,
                    c.rect.bottom - c.rect.top);
        controls.push_back(c);
    }

    for (const Control& c : controls) {
        if (!Inside(c.rect, client))
            Fault(c, "crosses the dialog's edge");
        RECT inner;
        GetClientRect(c.window, &inner);
        int lineHeight = 0;
        if (c.kind == L"Static" || c.kind == L"Button" || c.kind == L"GroupBox") {
            // Push buttons draw inside a border, group boxes their caption
            // after an indent of about a character; statics use it all.
            const int border = c.kind == L"Static" ? 0 : 2 * GetSystemMetrics(SM_CXEDGE) + 2;
            const int indent = c.kind == L"GroupBox" ? 2 * TextExtent(c.window, L"x", &lineHeight).cx : 0;
            const SIZE need = TextExtent(c.window, c.text, &lineHeight);
            if (need.cx + border + indent > inner.right)
                Fault(c, ("text " + std::to_string(need.cx) + " px wide in " + std::to_string(inner.right) +
                          " px")
                             .c_str());
            if (c.kind != L"GroupBox" && lineHeight > inner.bottom)
                Fault(c, ("text " + std::to_string(lineHeight) + " px high in " +
                          std::to_string(inner.bottom) + " px")
                             .c_str());
        }
        if (c.id >= kFirstOctet && c.id <= kLastOctet) {
            const auto margins = SendMessageW(c.window, EM_GETMARGINS, 0, 0);
            const int room = inner.right - LOWORD(margins) - HIWORD(margins);
            int widest = 0;
            for (const wchar_t* digit : {L"0", L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9", L"A",
                                         L"B", L"C", L"D", L"E", L"F"})
                widest =
                    std::max<int>(widest, TextExtent(c.window, std::wstring(2, digit[0]), &lineHeight).cx);
            std::printf("octet %d: two digits need %d px, %d px free\n", c.id, widest, room);
            if (widest > room)
                Fault(c, "two digits do not fit");
            if (lineHeight > inner.bottom)
                Fault(c, "a digit's height does not fit");
        }
    }

    for (std::size_t i = 0; i < controls.size(); ++i) {
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            const Control& a = controls[i];
            const Control& b = controls[j];
            const bool boxA = a.kind == L"GroupBox";
            const bool boxB = b.kind == L"GroupBox";
            if (!boxA && !boxB && Overlap(a.rect, b.rect))
                Fault(a, ("overlaps control " + std::to_string(b.id) + " \"" + Utf8(b.text) + "\"").c_str());
            // A control is in a group box or beside it, never across its edge.
            if (boxA != boxB) {
                const Control& box = boxA ? a : b;
                const Control& other = boxA ? b : a;
                if (Overlap(other.rect, box.rect) && !Inside(other.rect, box.rect))
                    Fault(other, ("crosses the edge of group box \"" + Utf8(box.text) + "\"").c_str());
            }
            if (boxA && boxB && Overlap(a.rect, b.rect))
                Fault(a, ("overlaps group box \"" + Utf8(b.text) + "\"").c_str());
        }
    }
    std::printf("%zu controls, %d faults\n", controls.size(), g_faults);
    return g_faults == 0 ? 0 : 1;
}
