// The octet parsing on anything a user may type or paste into the six
// fields: the input, cut at NUL bytes, gives the fields.
#include "net/octets.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CString fields[6];
    std::size_t field = 0;
    std::string text;
    for (std::size_t i = 0; i < size && field < 6; ++i) {
        if (data[i] == 0) {
            fields[field++] = CString(text);
            text.clear();
        } else {
            text += static_cast<char>(data[i]);
        }
    }
    if (field < 6)
        fields[field] = CString(text);
    BYTE octets[6];
    MacOctetsFromFields(fields, octets);
    for (const CString& f : fields)
        HexOctetToInt(f);
    MacText(octets);
    return 0;
}
