// Narrow GBK text, the conversions at its borders, and the zero-filled
// blocks that live until the process ends.
#include "platform/base/afxstr.h"

#include "res/strings.h"

#include <iconv.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

// Length of the UTF-8 sequence a lead byte starts; 1 for a stray byte so
// that it is skipped on its own.
std::size_t Utf8SequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 1;
}

class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter()
    {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts `in`; each unconvertible character (or undecodable byte run)
    // becomes one "?". `skip` tells how many input bytes such a character
    // occupies.
    template <class Skip> std::string Run(const std::string& in, Skip skip) const
    {
        std::string out;
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            return std::string(in.size() ? 1 : 0, '?');
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        char buffer[256];
        while (srcLeft > 0) {
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t rc = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            if (rc != static_cast<std::size_t>(-1))
                continue;
            if (errno == E2BIG)
                continue;
            // EILSEQ: a character the target cannot hold or an invalid
            // sequence; EINVAL: a sequence cut off at the end.
            const std::size_t n = errno == EINVAL ? srcLeft : std::min(srcLeft, skip(src, srcLeft));
            out.push_back('?');
            src += n;
            srcLeft -= n;
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t m_cd;
};

std::atomic<bool> g_processEnding{false};

}  // namespace

std::string GbkFromUtf8(const std::string& utf8)
{
    thread_local const Converter toGbk("GBK", "UTF-8");
    return toGbk.Run(utf8, [](const char* p, std::size_t left) {
        std::size_t n = Utf8SequenceLength(static_cast<unsigned char>(*p));
        // A broken sequence: give up only its lead byte.
        for (std::size_t i = 1; i < n && i < left; ++i)
            if ((static_cast<unsigned char>(p[i]) & 0xC0) != 0x80)
                return std::size_t{1};
        return n;
    });
}

std::string Utf8FromGbk(const std::string& gbk)
{
    thread_local const Converter fromGbk("UTF-8", "GBK");
    return fromGbk.Run(gbk, [](const char*, std::size_t) { return std::size_t{1}; });
}

bool AfxIsProcessEnding()
{
    return g_processEnding.load(std::memory_order_acquire);
}
void AfxSetProcessEnding(bool ending)
{
    g_processEnding.store(ending, std::memory_order_release);
}

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

CString CString::Mid(int first) const
{
    if (first < 0)
        first = 0;
    const auto start = static_cast<std::size_t>(first);
    if (start >= m_bytes.size())
        return CString();
    return CString(m_bytes.substr(start));
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
