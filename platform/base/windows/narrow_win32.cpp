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

// Converts `in` character by character; `length` tells how many bytes the
// character at a position takes, `badLength` how many to give up when it
// cannot be converted.
template <class Length, class BadLength>
std::string ConvertEach(const std::string& in, UINT from, UINT to, Length length, BadLength badLength)
{
    std::string out;
    std::size_t at = 0;
    while (at < in.size()) {
        const char* p = in.data() + at;
        const std::size_t left = in.size() - at;
        const std::size_t n = length(p);
        if (n <= left && ConvertOne(from, p, static_cast<int>(n), to, out)) {
            at += n;
            continue;
        }
        // A sequence cut off at the end gives one "?" for the rest.
        out.push_back('?');
        at += n > left ? left : badLength(p, left);
    }
    return out;
}

}  // namespace

std::string GbkFromUtf8(const std::string& utf8)
{
    return ConvertEach(
        utf8, CP_UTF8, kGbk,
        [](const char* p) { return afx::Utf8SequenceLength(static_cast<unsigned char>(*p)); },
        afx::Utf8BadCharacterLength);
}

std::string Utf8FromGbk(const std::string& gbk)
{
    // A lead byte 0x81-0xFE starts a two-byte character.
    return ConvertEach(
        gbk, kGbk, CP_UTF8,
        [](const char* p) {
            const auto lead = static_cast<unsigned char>(*p);
            return std::size_t{lead >= 0x81 && lead <= 0xFE ? 2u : 1u};
        },
        [](const char*, std::size_t) { return std::size_t{1}; });
}
