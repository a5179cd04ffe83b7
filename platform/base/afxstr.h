// Narrow text of the dialog framework layer, and the conversions at its
// borders. Needs no window system: the window-free code uses it too.
//
// CString holds narrow text in code page 936 (GBK). Lengths, positions and
// pieces count bytes, so a Chinese character counts as two.
#pragma once

#include "platform/base/wintypes.h"

#include <cstddef>
#include <string>

#ifdef LoadString
#undef LoadString  // <windows.h> maps it to LoadStringA/W; ours is CString's
#endif

class CString {
public:
    CString() = default;
    CString(const char* text);  // NOLINT: implicit like the framework's
    CString(const char* text, int length);
    explicit CString(std::string bytes) : m_bytes(std::move(bytes)) {}

    int GetLength() const { return static_cast<int>(m_bytes.size()); }
    bool IsEmpty() const { return m_bytes.empty(); }
    void Empty() { m_bytes.clear(); }

    // At most `count` bytes from `first`; empty when `first` is at or beyond
    // the end. Negative arguments count as 0.
    CString Mid(int first, int count) const;

    // Removes every occurrence of `ch`; returns how many were removed.
    int Remove(char ch);

    // printf-style; replaces the contents.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Loads string `id` of the program's string table (in GBK).
    // FALSE and empty when there is no such string.
    BOOL LoadString(UINT id);

    CString& operator+=(const CString& other);
    CString& operator+=(const char* other);
    friend CString operator+(const CString& a, const CString& b);

    const char* GetString() const { return m_bytes.c_str(); }
    operator const char*() const { return m_bytes.c_str(); }  // NOLINT
    const std::string& Bytes() const { return m_bytes; }

    friend bool operator==(const CString& a, const CString& b) { return a.m_bytes == b.m_bytes; }
    friend bool operator==(const CString& a, const char* b) { return a.m_bytes == (b ? b : ""); }

private:
    std::string m_bytes;
};

// A zero-filled block of `bytes` bytes that lives until the process ends
// (the framework releases it at exit); nullptr when it cannot be had.
void* AfxAllocZeroed(std::size_t bytes);

// Conversions between GBK bytes and UTF-8, for the places where text leaves
// or enters the program (controls, resources, tests). A character that GBK
// cannot encode becomes "?"; a byte sequence that is not GBK becomes "?".
std::string GbkFromUtf8(const std::string& utf8);
std::string Utf8FromGbk(const std::string& gbk);
