// Narrow GBK text and the zero-filled blocks that live until the process
// ends. The conversions at the text's borders are in linux/ and windows/.
#include "platform/base/afxstr.h"

#include "res/strings.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

// ------------------------------------------------------------------ CString
CString::CString(const char* text) : m_bytes(text ? text : "") {}

CString::CString(const char* text, int length)
{
    if (text && length > 0)
        m_bytes.assign(text, static_cast<std::size_t>(length));
}

CString CString::Mid(int first, int count) const
{
    if (first < 0)
        first = 0;
    if (count < 0)
        count = 0;
    const auto start = static_cast<std::size_t>(first);
    if (start >= m_bytes.size())
        return CString();
    return CString(m_bytes.substr(start, static_cast<std::size_t>(count)));
}

int CString::Remove(char ch)
{
    const std::size_t before = m_bytes.size();
    std::erase(m_bytes, ch);
    return static_cast<int>(before - m_bytes.size());
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int needed = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (needed < 0) {
        va_end(again);
        m_bytes.clear();
        return;
    }
    std::string out(static_cast<std::size_t>(needed) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, again);
    va_end(again);
    out.resize(static_cast<std::size_t>(needed));
    m_bytes = std::move(out);
}

BOOL CString::LoadString(UINT id)
{
    const char* utf8 = AfxResourceStringUtf8(id);
    if (!utf8) {
        m_bytes.clear();
        return FALSE;
    }
    m_bytes = GbkFromUtf8(utf8);
    return TRUE;
}

CString& CString::operator+=(const CString& other)
{
    m_bytes += other.m_bytes;
    return *this;
}

CString& CString::operator+=(const char* other)
{
    if (other)
        m_bytes += other;
    return *this;
}

CString operator+(const CString& a, const CString& b)
{
    CString joined(a);
    joined += b;
    return joined;
}

// ------------------------------------------------------------ zeroed blocks
namespace {
// Blocks stay reachable from here until static destruction frees them, so a
// leak checker sees them as held, not lost.
struct ZeroedBlocks {
    std::mutex mutex;
    std::vector<void*> blocks;
    ~ZeroedBlocks()
    {
        for (void* block : blocks)
            std::free(block);
    }
};
ZeroedBlocks& Blocks()
{
    static ZeroedBlocks blocks;
    return blocks;
}
}  // namespace

void* AfxAllocZeroed(std::size_t bytes)
{
    void* block = std::calloc(bytes ? bytes : 1, 1);
    if (!block)
        return nullptr;
    ZeroedBlocks& all = Blocks();
    std::lock_guard lock(all.mutex);
    all.blocks.push_back(block);
    return block;
}
