// Narrow GBK text: byte counts, pieces, removal, formatting, the string
// table, and the conversions at the borders.
#include "platform/base/afxstr.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

CString Gbk(const char* utf8)
{
    return CString(GbkFromUtf8(utf8));
}

}  // namespace

TEST(GbkText, ChineseCountsTwoBytesPerCharacter)
{
    struct Case {
        const char* utf8;
        int bytes;
    } cases[] = {
        {"", 0}, {"AB", 2}, {"网卡", 4}, {"I P", 3}, {"关于 Orvane(&A)...", 18}, {"－", 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Gbk(c.utf8).GetLength(), c.bytes) << c.utf8;
    EXPECT_EQ(Gbk("网卡").Bytes(), std::string("\xCD\xF8\xBF\xA8"));
}

TEST(GbkText, MidCountsBytesAndIsEmptyBeyondTheEnd)
{
    const CString hex("001A2B3C4D5E");
    struct Case {
        int first, count;
        const char* expected;
    } cases[] = {
        {0, 2, "00"},  {10, 2, "5E"}, {11, 2, "E"}, {12, 2, ""},      {40, 2, ""},
        {-3, 2, "00"}, {4, 0, ""},    {4, -1, ""},  {8, 100, "4D5E"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hex.Mid(c.first, c.count), c.expected) << c.first << "," << c.count;
    // A piece may cut a Chinese character in half: bytes, not characters.
    EXPECT_EQ(Gbk("网卡").Mid(1, 2).Bytes(), std::string("\xF8\xBF"));
    EXPECT_EQ(Gbk("A网").Mid(1, 2), Gbk("网"));
}

TEST(GbkText, RemoveDropsEveryOccurrence)
{
    CString mac("00-1A-2B-3C-4D-5E");
    EXPECT_EQ(mac.Remove('-'), 5);
    EXPECT_EQ(mac, "001A2B3C4D5E");
    CString none("ABC");
    EXPECT_EQ(none.Remove('-'), 0);
    EXPECT_EQ(none, "ABC");
}

TEST(GbkText, FormatJoinAndEmpty)
{
    CString s;
    const unsigned char b[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    s.Format("%02X-%02X-%02X-%02X-%02X-%02X", b[0], b[1], b[2], b[3], b[4], b[5]);
    EXPECT_EQ(s, "00-1A-2B-3C-4D-5E");
    EXPECT_EQ(s.GetLength(), 17);
    s.Format("%s", std::string(5000, 'x').c_str());
    EXPECT_EQ(s.GetLength(), 5000);
    CString joined = CString("AB") + CString("CD");
    joined += "EF";
    joined += static_cast<const char*>(nullptr);
    EXPECT_EQ(joined, "ABCDEF");
    joined.Empty();
    EXPECT_TRUE(joined.IsEmpty());
    EXPECT_EQ(CString(static_cast<const char*>(nullptr)), "");
    EXPECT_EQ(CString("abc", 2), "ab");
}

TEST(GbkText, LoadStringGivesTheTableEntryInGbk)
{
    CString about;
    ASSERT_TRUE(about.LoadString(IDS_ABOUTBOX));
    EXPECT_EQ(about, Gbk("关于 Orvane(&A)..."));
    EXPECT_EQ(about.GetLength(), 18);
    CString missing("old");
    EXPECT_FALSE(missing.LoadString(4711));
    EXPECT_TRUE(missing.IsEmpty());
}

TEST(GbkConversion, RoundTripsAndReplacesWhatGbkCannotHold)
{
    struct Case {
        const char* utf8;
        const char* backToUtf8;
    } cases[] = {
        {"网络探测", "网络探测"},
        {"MAC地址", "MAC地址"},
        {"A\xF0\x9F\x98\x80"
         "B",
         "A?B"},                // an emoji: not in GBK
        {"\xED\x95\x9C", "?"},  // a Hangul syllable
        {"x\xFFy", "x?y"},      // not UTF-8 at all
        {"\xE7\xBD", "?"},      // cut off
        {"line\n", "line\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Utf8FromGbk(GbkFromUtf8(c.utf8)), c.backToUtf8) << c.utf8;
    // A byte run that is not GBK becomes "?" on the way out.
    EXPECT_EQ(Utf8FromGbk("A\xFF"
                          "B"),
              "A?B");
    EXPECT_EQ(Utf8FromGbk("\xCD"), "?");
}

TEST(ZeroedBlocks, AreZeroAndStayUsable)
{
    auto* block = static_cast<unsigned char*>(AfxAllocZeroed(4096));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 4096; ++i)
        ASSERT_EQ(block[i], 0) << i;
    std::memset(block, 0x5A, 4096);  // writable, and never reported as lost
    EXPECT_NE(AfxAllocZeroed(0), nullptr);
}
