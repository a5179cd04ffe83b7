// GBK (code page 936) <-> UTF-8 through MultiByteToWideChar and
// WideCharToMultiByte, one character at a time so that each character that
// cannot be converted becomes one "?", as with iconv on Linux.
#include "platform/base/afxstr.h"
#include "platform/base/narrow_text.h"

#include "platform/base/wintypes.h"

namespace {

constexpr UINT kGbk = 936;

// One character from code page `from` to code page `to`; false when it is
// not valid there or has no form in `to`.
bool ConvertOne(UINT from, const char* in, int inLength, UINT to, std::string& out)
{
    wchar_t wide[2];
    const int wideLength = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, in, inLength, wide, 2);
    if (wideLength <= 0)
        return false;
    char narrow[8];
    BOOL usedDefault = FALSE;
    // CP_UTF8 takes neither a default character nor the flag for it.
    const int narrowLength =
        to == CP_UTF8 ? WideCharToMultiByte(to, 0, wide, wideLength, narrow, sizeof narrow, nullptr, nullptr)
                      : WideCharToMultiByte(to, WC_NO_BEST_FIT_CHARS, wide, wideLength, narrow, sizeof narrow,
                                            "?", &usedDefault);
    if (narrowLength <= 0 || usedDefault)
        return false;
    out.append(narrow, static_cast<std::size_t>(narrowLength));
    return true;
}

}  // namespace

std::string GbkFromUtf8(const std::string& utf8)
{
    std::string out;
    std::size_t at = 0;
    while (at < utf8.size()) {
        const char* p = utf8.data() + at;
        const std::size_t left = utf8.size() - at;
        const std::size_t n = afx::Utf8SequenceLength(static_cast<unsigned char>(*p));
        if (n <= left && ConvertOne(CP_UTF8, p, static_cast<int>(n), kGbk, out)) {
            at += n;
            continue;
        }
        // A sequence cut off at the end gives one "?" for the rest.
        out.push_back('?');
        at += n > left ? left : afx::Utf8BadCharacterLength(p, left);
    }
    return out;
}

std::string Utf8FromGbk(const std::string& gbk)
{
    std::string out;
    std::size_t at = 0;
    while (at < gbk.size()) {
        const char* p = gbk.data() + at;
        const std::size_t left = gbk.size() - at;
        // A lead byte 0x81-0xFE starts a two-byte character.
        const auto lead = static_cast<unsigned char>(*p);
        const std::size_t n = lead >= 0x81 && lead <= 0xFE ? 2 : 1;
        if (n <= left && ConvertOne(kGbk, p, static_cast<int>(n), CP_UTF8, out)) {
            at += n;
            continue;
        }
        // A sequence cut off at the end gives one "?" for the rest.
        out.push_back('?');
        at += n > left ? left : 1;
    }
    return out;
}
