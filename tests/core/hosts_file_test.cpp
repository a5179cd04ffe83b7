#include "net/hosts_file.h"

#include <gtest/gtest.h>
#include "platform/net/winsock.h"

#include <string>
#include <vector>

namespace {

RememberedHost Host(const char* ip, BYTE last, std::int64_t seen, const char* adapter = "eth0")
{
    RememberedHost host;
    host.ip = inet_addr(ip);
    const BYTE mac[6] = {0x02, 0x4F, 0x52, 0x00, 0x02, last};
    std::copy(mac, mac + 6, host.mac);
    host.adapter = adapter;
    host.seen = seen;
    return host;
}

TEST(UtcText, RoundTripsAndRefusesWhatIsNoTime)
{
    for (std::int64_t t : {0LL, 951782400LL /* 2000-02-29 */, 1796665309LL, 4102444799LL}) {
        std::int64_t back = -1;
        ASSERT_TRUE(ParseUtcText(UtcText(t), back)) << UtcText(t);
        EXPECT_EQ(back, t);
    }
    EXPECT_EQ(UtcText(951782400), "2000-02-29T00:00:00Z");
    std::int64_t t;
    for (const char* bad : {"2026-02-29T00:00:00Z", "2026-13-01T00:00:00Z", "2026-12-07T24:00:00Z",
                            "2026-12-07T17:41:49", "2026-12-07 17:41:49Z", "2026-12-07T17:41:4Z", ""})
        EXPECT_FALSE(ParseUtcText(bad, t)) << bad;
}

TEST(HostsText, RoundTripsInAddressOrder)
{
    const std::vector<RememberedHost> hosts = {Host("192.168.1.100", 0x64, 1796665309),
                                               Host("192.168.1.9", 0x09, 1796665300, "网卡0")};
    std::vector<RememberedHost> merged;
    ASSERT_TRUE(MergeHosts(merged, hosts));
    const std::string text = FormatHostsText(merged);
    EXPECT_NE(text.find("192.168.1.9\t02-4F-52-00-02-09\t网卡0\t2026-12-07T17:41:40Z\n"), std::string::npos)
        << text;
    std::vector<int> damaged;
    const auto back = ParseHostsText(text, damaged);
    EXPECT_TRUE(damaged.empty());
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].ip, inet_addr("192.168.1.9"));  // .9 before .100: by number, not by text
    EXPECT_EQ(back[1].seen, 1796665309);
    EXPECT_EQ(FormatHostsText(back), text);
}

TEST(HostsText, DamagedLinesCostOnlyThemselves)
{
    const std::string text =
        "# comment\n"
        "192.168.1.1\t02-4F-52-00-02-01\teth0\t2026-12-07T17:41:49Z\r\n"  // edited on Windows
        "192.168.1.2\t02-4F-52-00-02-02\teth0\n"                          // a field short
        "192.168.1.3\t02-4F-52-00-02-0X\teth0\t2026-12-07T17:41:49Z\n"
        "\n"
        "192.168.1.4\t02:4f:52:00:02:04\teth0\t2026-12-07T17:41:49Z\n"
        "192.168.1.5\t02-4F-52-00-02-05\t\t2026-12-07T17:41:49Z\n"  // no adapter
        "192.168.1.6\t02-4F-52-00-02-06\teth0\t2026-12-07T17:4";    // cut short
    std::vector<int> damaged;
    const auto hosts = ParseHostsText(text, damaged);
    EXPECT_EQ(damaged, (std::vector<int>{3, 4, 7, 8}));
    ASSERT_EQ(hosts.size(), 2u);
    EXPECT_EQ(hosts[0].ip, inet_addr("192.168.1.1"));
    EXPECT_EQ(hosts[1].ip, inet_addr("192.168.1.4"));
}

TEST(MergeHosts, LaterSightingsWinAndNothingNewChangesNothing)
{
    std::vector<RememberedHost> known = {Host("192.168.1.1", 0x01, 100), Host("192.168.1.7", 0x07, 100)};
    EXPECT_FALSE(MergeHosts(known, {Host("192.168.1.1", 0x01, 100)}));  // the same again
    EXPECT_FALSE(MergeHosts(known, {Host("192.168.1.7", 0x77, 50)}));   // older news
    EXPECT_EQ(known[1].mac[5], 0x07);
    EXPECT_TRUE(MergeHosts(known, {Host("192.168.1.7", 0x77, 100)}));  // same second, another answer
    EXPECT_EQ(known[1].mac[5], 0x77);
    EXPECT_TRUE(MergeHosts(known, {Host("192.168.1.1", 0x01, 101), Host("192.168.1.3", 0x03, 90)}));
    ASSERT_EQ(known.size(), 3u);
    EXPECT_EQ(known[0].seen, 101);
    EXPECT_EQ(known[1].ip, inet_addr("192.168.1.3"));
    ASSERT_NE(FindHost(known, inet_addr("192.168.1.3")), nullptr);
    EXPECT_EQ(FindHost(known, inet_addr("192.168.1.4")), nullptr);
    EXPECT_EQ(CleanAdapterName("a\tb\n"), "a?b?");
    // C1 controls (here CSI, U+009B) too; other UTF-8 stays.
    EXPECT_EQ(CleanAdapterName("a\xC2\x9B"
                               "2Jb\xC2\xA0网卡"),
              "a?2Jb\xC2\xA0网卡");
}

// A rewrite keeps every line it cannot read, word for word and in place,
// and what was just seen replaces an entry whatever time the file gives it.
TEST(ApplySightings, KeepsUnreadableLinesAndLetsNewsWin)
{
    const std::string text =
        "# my notes\n"
        "192.168.1.2\t02-4F-52-00-02-02\teth0\t2026-12-07T17:41:49\n"      // no Z
        "192.168.1.7\t02-4F-52-00-02-07\teth0\t2099-01-01T00:00:00Z\n"     // the clock once ran ahead
        "192.168.1.4 02-4F-52-00-02-04\teth0\t2026-12-07T17:41:49Z\n"      // a space
        "192.168.1.5\t02-4F-52-00-02-05\teth0\t2026-12-07T17:41:49Z\tx\n"  // a newer format
        "192.168.1.7\t02-4F-52-00-02-70\teth0\t2026-01-01T00:00:00Z\n";    // an older line of .7
    const std::string updated =
        ApplySightings(text, {Host("192.168.1.7", 0x77, 1796665309), Host("192.168.1.3", 0x03, 1796665309)});
    EXPECT_EQ(updated,
              "# my notes\n"
              "192.168.1.2\t02-4F-52-00-02-02\teth0\t2026-12-07T17:41:49\n"
              "192.168.1.7\t02-4F-52-00-02-77\teth0\t2026-12-07T17:41:49Z\n"
              "192.168.1.4 02-4F-52-00-02-04\teth0\t2026-12-07T17:41:49Z\n"
              "192.168.1.5\t02-4F-52-00-02-05\teth0\t2026-12-07T17:41:49Z\tx\n"
              "192.168.1.3\t02-4F-52-00-02-03\teth0\t2026-12-07T17:41:49Z\n");
    std::vector<int> damaged;
    const auto hosts = ParseHostsText(updated, damaged);
    ASSERT_NE(FindHost(hosts, inet_addr("192.168.1.7")), nullptr);
    EXPECT_EQ(FindHost(hosts, inet_addr("192.168.1.7"))->mac[5], 0x77);
    // Nothing new: the same text, so the file is not rewritten.
    EXPECT_EQ(ApplySightings(updated, {Host("192.168.1.3", 0x03, 1796665309)}), updated);
    // A new file starts with the header.
    EXPECT_EQ(ApplySightings("", {Host("192.168.1.3", 0x03, 1796665309)}),
              FormatHostsText({Host("192.168.1.3", 0x03, 1796665309)}));
}

}  // namespace
