#include "net/octets.h"

#include <cstdlib>
#include <cstring>

int HexOctetToInt(CString piece)
{
    // Three zeroed bytes: the copy is always terminated, whatever the piece.
    char buffer[3] = {0, 0, 0};
    std::strncpy(buffer, piece.GetString(), 2);
    return static_cast<int>(std::strtol(buffer, nullptr, 16));
}

CString MacText(const BYTE (&mac)[6])
{
    CString text;
    text.Format("%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

void MacOctetsFromFields(const CString (&fields)[6], BYTE (&octets)[6])
{
    CString joined;
    for (const CString& field : fields)
        joined += field;
    for (int i = 0; i < 6; ++i)
        octets[i] = static_cast<BYTE>(HexOctetToInt(joined.Mid(2 * i, 2)) & 0xFF);
}
