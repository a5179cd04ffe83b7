// GBK <-> UTF-8 through iconv.
#include "platform/base/afxstr.h"
#include "platform/base/narrow_text.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace {

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

}  // namespace

std::string GbkFromUtf8(const std::string& utf8)
{
    thread_local const Converter toGbk("GBK", "UTF-8");
    return toGbk.Run(utf8, afx::Utf8BadCharacterLength);
}

std::string Utf8FromGbk(const std::string& gbk)
{
    thread_local const Converter fromGbk("UTF-8", "GBK");
    return fromGbk.Run(gbk, [](const char*, std::size_t) { return std::size_t{1}; });
}
