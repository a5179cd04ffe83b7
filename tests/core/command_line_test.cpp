#include "cli/command_line.h"

#include "net/magic_packet.h"

#include <gtest/gtest.h>
#include "platform/net/winsock.h"

#include <array>
#include <string>
#include <vector>

namespace {

using Words = std::vector<std::string>;

TEST(ParseMacText, TakesTheThreeFormsAndNothingElse)
{
    const std::array<BYTE, 6> expected{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    for (const char* good : {"00:1A:2B:3C:4D:5E", "00-1a-2b-3c-4d-5e", "001A2B3C4D5E", "00:1a:2B:3c:4D:5e"}) {
        BYTE mac[6] = {};
        EXPECT_TRUE(ParseMacText(good, mac)) << good;
        EXPECT_EQ(std::vector<BYTE>(mac, mac + 6), std::vector<BYTE>(expected.begin(), expected.end()))
            << good;
    }
    for (const char* bad : {"", "00:1A:2B:3C:4D", "00:1A:2B:3C:4D:5E:6F", "00:1A-2B:3C:4D:5E",
                            "00.1A.2B.3C.4D.5E", "0:1A:2B:3C:4D:5E0", "001A2B3C4D5", "001A2B3C4D5EF",
                            "00:1A:2B:3C:4D:5G", "+0:1A:2B:3C:4D:5E", "001A2B3C4D5 ", "00::1A2B3C4D5E1"}) {
        BYTE mac[6] = {};
        EXPECT_FALSE(ParseMacText(bad, mac)) << bad;
    }
}

TEST(ParseDottedIp, OnlyFourDecimalNumbers)
{
    IPAddr ip = 0;
    ASSERT_TRUE(ParseDottedIp("192.168.1.10", ip));
    EXPECT_EQ(ip, inet_addr("192.168.1.10"));
    ASSERT_TRUE(ParseDottedIp("0.0.0.0", ip));
    EXPECT_EQ(ip, 0u);
    for (const char* bad :
         {"192.168.1", "192.168.1.256", "1.2.3.4.5", "1..2.3", "192.168.1.1000", "", "10.0.0.1."})
        EXPECT_FALSE(ParseDottedIp(bad, ip)) << bad;
}

struct LineCase {
    Words words;
    CommandLine::Command command;
    const char* error = "";  // a piece of the message, for Usage
};

TEST(ParseCommandLine, CommandsOptionsAndUsageErrors)
{
    const LineCase cases[] = {
        {{}, CommandLine::Dialog},
        {{"--help"}, CommandLine::Help},
        {{"-h"}, CommandLine::Help},
        {{"wake", "--he"}, CommandLine::Help},  // an abbreviation, and help wins
        {{"--version"}, CommandLine::Version},
        {{"-V"}, CommandLine::Version},
        {{"hosts"}, CommandLine::Hosts},
        {{"scan"}, CommandLine::Scan},
        {{"scan", "-i", "eth0"}, CommandLine::Scan},
        {{"wake", "00:1A:2B:3C:4D:5E"}, CommandLine::Wake},
        {{"--port=9", "wake", "001A2B3C4D5E"}, CommandLine::Wake},  // options before the command too
        {{"wake", "--", "00-1a-2b-3c-4d-5e"}, CommandLine::Wake},
        {{"wake"}, CommandLine::Usage, "needs a MAC"},
        {{"wake", "00:1A:2B:3C:4D"}, CommandLine::Usage, "'00:1A:2B:3C:4D' is not a MAC address"},
        {{"wake", "00:1A:2B:3C:4D:5E", "00-1a-2b-3c-4z-5e"},
         CommandLine::Usage,
         "'00-1a-2b-3c-4z-5e' is not a MAC"},
        {{"wake", "192.168.1.300"}, CommandLine::Usage, "not an IPv4 address"},
        {{"wake", "bad_name!"}, CommandLine::Usage, "or a host name"},
        {{"wake", "--port", "0", "001A2B3C4D5E"}, CommandLine::Usage, "not a port number"},
        {{"wake", "--port=65536", "001A2B3C4D5E"}, CommandLine::Usage, "not a port number"},
        {{"wake", "-p", "9x", "001A2B3C4D5E"}, CommandLine::Usage, "not a port number"},
        {{"wake", "001A2B3C4D5E", "--port"}, CommandLine::Usage, "requires an argument"},
        {{"wake", "--interface=", "001A2B3C4D5E"}, CommandLine::Usage, "needs an adapter name"},
        {{"wake", "--frobnicate", "001A2B3C4D5E"}, CommandLine::Usage, "unrecognized option '--frobnicate'"},
        {{"wake", "-x", "001A2B3C4D5E"}, CommandLine::Usage, "invalid option -- 'x'"},
        {{"--help=yes"}, CommandLine::Usage, "doesn't allow an argument"},
        {{"scan", "192.168.1.0"}, CommandLine::Usage, "unexpected argument"},
        {{"scan", "--port", "9"}, CommandLine::Usage, "--port is for wake only"},
        {{"hosts", "-i", "eth0"}, CommandLine::Usage, "--interface is for wake and scan only"},
        {{"sleep"}, CommandLine::Usage, "unknown command 'sleep'"},
        {{"--port", "9"}, CommandLine::Usage, "a command is missing"},
        {{"-"}, CommandLine::Usage, "unknown command '-'"},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const auto& w : c.words)
            shown += w + " ";
        const CommandLine line = ParseCommandLine(c.words);
        EXPECT_EQ(line.command, c.command) << shown << "-> " << line.error;
        EXPECT_NE(line.error.find(c.error), std::string::npos) << shown << "-> " << line.error;
    }
}

TEST(ParseCommandLine, WakeTargetsPortAndAdapter)
{
    const CommandLine line = ParseCommandLine({"wake", "-i", "网卡0", "00:1A:2B:3C:4D:5E", "--port", "9",
                                               "192.168.1.10", "nas.local", "--int=eth1", "-p7"});
    ASSERT_EQ(line.command, CommandLine::Wake) << line.error;
    EXPECT_EQ(line.port, 7);  // the last one counts, as with getopt
    EXPECT_EQ(line.adapter, "eth1");
    ASSERT_EQ(line.targets.size(), 3u);
    EXPECT_EQ(line.targets[0].kind, WakeTarget::Mac);
    EXPECT_EQ(line.targets[0].mac[1], 0x1A);
    EXPECT_EQ(line.targets[1].kind, WakeTarget::Ip);
    EXPECT_EQ(line.targets[1].ip, inet_addr("192.168.1.10"));
    EXPECT_EQ(line.targets[2].kind, WakeTarget::Host);
    EXPECT_EQ(line.targets[2].text, "nas.local");

    EXPECT_EQ(ParseCommandLine({"wake", "001A2B3C4D5E"}).port, WAKE_PORT);
    // Only the two documented lengths are MAC addresses; other words with
    // hex digits and hyphens are host names.
    for (const char* name : {"cafe", "dc-1", "cafe-2", "00-1a-2b-3c-4d", "00-1a-2b-3c-4d-5e-6f"}) {
        const CommandLine named = ParseCommandLine({"wake", name});
        ASSERT_EQ(named.command, CommandLine::Wake) << name << ": " << named.error;
        EXPECT_EQ(named.targets.at(0).kind, WakeTarget::Host) << name;
    }
}

}  // namespace
