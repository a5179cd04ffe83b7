#include "net/address_text.h"

#include "platform/net/winsock.h"

#include <cctype>
#include <cstdint>

namespace {

bool IsHex(char c)
{
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

int HexValue(char c)
{
    return c <= '9' ? c - '0' : (std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
}

}  // namespace

bool ParseMacText(const std::string& text, BYTE (&mac)[6])
{
    char separator = '\0';
    if (text.size() == 17) {
        separator = text[2];
        if (separator != ':' && separator != '-')
            return false;
        for (std::size_t i = 2; i < 17; i += 3)
            if (text[i] != separator)
                return false;
    } else if (text.size() != 12) {
        return false;
    }
    const std::size_t step = separator ? 3 : 2;
    for (std::size_t i = 0; i < 6; ++i) {
        const char hi = text[i * step], lo = text[i * step + 1];
        if (!IsHex(hi) || !IsHex(lo))
            return false;
        mac[i] = static_cast<BYTE>(HexValue(hi) * 16 + HexValue(lo));
    }
    return true;
}

bool ParseDottedIp(const std::string& text, IPAddr& ip)
{
    std::uint32_t value = 0;
    std::size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= text.size() || text[pos] != '.')
                return false;
            ++pos;
        }
        std::size_t digits = 0;
        unsigned number = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 4) {
            number = number * 10 + static_cast<unsigned>(text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || digits > 3 || number > 255)
            return false;
        value = (value << 8) | number;
    }
    if (pos != text.size())
        return false;
    ip = htonl(value);
    return true;
}
