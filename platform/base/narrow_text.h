// Shared by the narrow-text conversions of each system (linux/, windows/).
#pragma once

#include <cstddef>

namespace afx {

// Length of the UTF-8 sequence a lead byte starts; 1 for a stray byte so
// that it is skipped on its own.
inline std::size_t Utf8SequenceLength(unsigned char lead)
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

// Input bytes a UTF-8 character at `p` that cannot be converted occupies:
// its whole sequence, but only its lead byte when the sequence is broken.
inline std::size_t Utf8BadCharacterLength(const char* p, std::size_t left)
{
    const std::size_t n = Utf8SequenceLength(static_cast<unsigned char>(*p));
    for (std::size_t i = 1; i < n && i < left; ++i)
        if ((static_cast<unsigned char>(p[i]) & 0xC0) != 0x80)
            return 1;
    return n;
}

}  // namespace afx
