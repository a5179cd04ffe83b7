#include "net/octets.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

struct PieceCase {
    const char* piece;
    int value;
};

TEST(HexOctetToInt, ReadsLikeStrtolInBase16)
{
    const PieceCase cases[] = {
        {"00", 0x00},    {"1A", 0x1A},  {"ff", 0xFF},
        {"FF", 0xFF},    {"G1", 0x00},   // no digit before the first non-digit
        {"1G", 0x01},                    // digits up to the first non-digit
        {"-1", -1},                      // a sign is read; the octet keeps the low 8 bits
        {"-F", -15},     {" F", 0x0F},   // leading blank skipped
        {"", 0},         {"0x", 0},      // a prefix without digits
        {"+7", 7},       {"ABC", 0xAB},  // only two characters count
        {"\xD6\xD0", 0},                 // one GBK character (two bytes), no digit
    };
    for (const auto& c : cases)
        EXPECT_EQ(HexOctetToInt(c.piece), c.value) << "piece \"" << c.piece << "\"";
}

struct CutCase {
    std::array<const char*, 6> fields;
    std::array<BYTE, 6> octets;
};

TEST(MacOctetsFromFields, JoinsThenCutsIntoPairs)
{
    const CutCase cases[] = {
        {{"00", "1A", "2B", "3C", "4D", "5E"}, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
        {{"aa", "bb", "cc", "dd", "ee", "ff"}, {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}},
        // A one-character field shifts the cut; the short last piece reads as 04.
        {{"A", "BC", "DE", "F0", "12", "34"}, {0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x04}},
        // A three-character field shifts it the other way; bytes past twelve are ignored.
        {{"ABC", "DE", "F0", "12", "34", "56"}, {0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45}},
        {{"1", "2", "3", "4", "5", "6"}, {0x12, 0x34, 0x56, 0x00, 0x00, 0x00}},
        {{"112233445566", "77", "88", "99", "AA", "BB"}, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66}},
        // Not hexadecimal: read as far as the digits go; a sign keeps the low byte.
        {{"G1", "1G", "-1", " F", "zz", "0x"}, {0x00, 0x01, 0xFF, 0x0F, 0x00, 0x00}},
    };
    for (const auto& c : cases) {
        const CString fields[6] = {c.fields[0], c.fields[1], c.fields[2],
                                   c.fields[3], c.fields[4], c.fields[5]};
        BYTE octets[6] = {0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A};
        MacOctetsFromFields(fields, octets);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(octets[i], c.octets[i]) << "octet " << i << " of " << c.fields[0] << "|" << c.fields[1];
    }
}

}  // namespace
