// `orvane wake`, `scan` and `hosts` run as a script runs them, inside a lab
// (topologies in tests/lab/CMakeLists.txt). The program is ORVANE_PROGRAM;
// every run gets a state directory of its own.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "net/magic_packet.h"
#include "tests/support/lab.h"

namespace {

using namespace labtest;
using namespace std::chrono_literals;

constexpr unsigned short kMarkerPort = 5051;

std::string Program()
{
    return LabEnv("ORVANE_PROGRAM");
}

// A fresh state directory anyone may write (the ordinary user too).
std::string FreshStateHome()
{
    char dir[] = "/tmp/orvane-cli-XXXXXX";
    if (!mkdtemp(dir))
        return {};
    chmod(dir, 0777);
    return dir;
}

struct Outcome {
    int status = -1;
    std::string out, err;
};

// Runs the program with XDG_STATE_HOME set, stdout and stderr captured.
Outcome Orvane(const std::string& stateHome, std::vector<std::string> args, bool ordinaryUser = false)
{
    // The variable is set by the shell, not by /usr/bin/env: setpriv must
    // start the program itself, since a helper in between would look the
    // program up as the ordinary user, who may not reach the build tree
    // (a checkout under /root).
    std::vector<std::string> argv = {Program()};
    argv.insert(argv.end(), args.begin(), args.end());
    if (ordinaryUser)
        argv = AsOrdinaryUser(argv);
    const std::string errFile = stateHome + "/stderr";
    Outcome run;
    std::string command = "XDG_STATE_HOME='" + stateHome + "' ";
    for (const auto& a : argv)
        command += "'" + a + "' ";
    const Captured captured = Shell(command + "2>'" + errFile + "'");
    run.status = captured.status;
    run.out = captured.out;
    std::ifstream in(errFile);
    run.err.assign(std::istreambuf_iterator<char>(in), {});
    return run;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class CliLab : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!IsRoot() || LabEnv("ORVANE_LAB").empty())
            GTEST_SKIP() << "lab tests need root and orvane-lab";
        REQUIRE_LAB();
        m_state = FreshStateHome();
        ASSERT_FALSE(m_state.empty());
    }
    void TearDown() override
    {
        if (!m_state.empty())
            Shell("rm -rf '" + m_state + "'");
    }

    // The wake-up datagrams that crossed the bridge, all of them: a marker
    // sent after the program ended arrives behind them.
    std::vector<LinkCapture::Udp> WakeDatagrams(const LinkCapture& capture)
    {
        EXPECT_TRUE(SendMarker(LabEnv("ORVANE_LAB_CLIENT_IP").c_str(), kMarkerPort));
        EXPECT_TRUE(capture.WaitForPort(kMarkerPort, 10s));
        std::vector<LinkCapture::Udp> found;
        for (const auto& d : capture.Seen())
            if (d.port != kMarkerPort)
                found.push_back(d);
        return found;
    }

    std::string m_state;
};

// ------------------------------------------------------------------ wake

TEST_F(CliLab, WakeSendsOneDatagramPerMacAndNothingForABadOne)
{
    LinkCapture bridge(LabEnv("ORVANE_LAB_BRIDGE"), "br0");
    ASSERT_TRUE(bridge.Ready());
    const Outcome two = Orvane(m_state, {"wake", "02:4f:52:00:00:0a", "02-4F-52-00-00-0B"});
    EXPECT_EQ(two.status, 0) << two.err;
    const auto sent = WakeDatagrams(bridge);
    ASSERT_EQ(sent.size(), 2u);
    for (const auto& d : sent) {
        EXPECT_EQ(d.length, static_cast<std::size_t>(MAGIC_PACKET_SEND_LEN));
        EXPECT_EQ(d.destination, "255.255.255.255");
        EXPECT_EQ(d.port, WAKE_PORT);
    }

    LinkCapture again(LabEnv("ORVANE_LAB_BRIDGE"), "br0");
    ASSERT_TRUE(again.Ready());
    const Outcome bad = Orvane(m_state, {"wake", "02:4f:52:00:00:0a", "02:4f:52:00:00", "--port", "9"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("'02:4f:52:00:00' is not a MAC address"), std::string::npos) << bad.err;
    EXPECT_TRUE(WakeDatagrams(again).empty());
}

// A named adapter without an IPv4 address (e2) is no licence to leave
// through another one.
TEST_F(CliLab, WakeOnANamedAdapterWithoutAddressSendsNothing)
{
    LinkCapture bridge(LabEnv("ORVANE_LAB_BRIDGE"), "br0");
    ASSERT_TRUE(bridge.Ready());
    const Outcome run = Orvane(m_state, {"wake", "--interface", "e2", "02:4f:52:00:00:0a"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("not sent on e2"), std::string::npos) << run.err;
    EXPECT_TRUE(WakeDatagrams(bridge).empty());
}

// ------------------------------------------------------------------ scan

// The eth0 segment's answering hosts, in address order (the client's own
// address answers too, as in the dialog).
const std::string kEth0Hosts =
    "192.168.1.1\t02-4F-52-00-02-01\n"
    "192.168.1.2\t02-4F-52-00-01-17\n"
    "192.168.1.5\t02-4F-52-00-02-05\n"
    "192.168.1.9\t02-4F-52-00-00-09\n";

TEST_F(CliLab, ScanListsTheAnsweringHostsInAddressOrder)
{
    const Outcome root = Orvane(m_state, {"scan"});
    EXPECT_EQ(root.status, 0) << root.err;
    EXPECT_EQ(root.out, kEth0Hosts);
    EXPECT_EQ(root.err, "");  // no progress line: stderr is no terminal

    // Without privilege the kernel resolves; its own address it never lists.
    const std::string userState = FreshStateHome();
    const Outcome user = Orvane(userState, {"scan"}, true);
    EXPECT_EQ(user.status, 0) << user.err;
    std::string withoutOwn = kEth0Hosts;
    withoutOwn.erase(withoutOwn.find("192.168.1.2\t"),
                     std::string("192.168.1.2\t02-4F-52-00-01-17\n").size());
    EXPECT_TRUE(user.out == kEth0Hosts || user.out == withoutOwn) << user.out;
    // The user's hosts are in the user's file.
    const Outcome listed = Orvane(userState, {"hosts"}, true);
    EXPECT_NE(listed.out.find("192.168.1.9\t02-4F-52-00-00-09\teth0\t"), std::string::npos) << listed.out;
    Shell("rm -rf '" + userState + "'");
}

// A closed stdout must not hand descriptor 1 to the stop token's eventfd
// (the host lines would go into it and cut every later probe short), and a
// reader that leaves ends the scan with 1, the hosts so far remembered.
TEST_F(CliLab, ScanWithAClosedOrLeavingReader)
{
    std::string user;
    for (const auto& word : AsOrdinaryUser({Program(), "scan"}))
        user += "'" + word + "' ";
    const std::string env = "XDG_STATE_HOME='" + m_state + "' ";
    EXPECT_EQ(Shell(env + user + ">&- 2>/dev/null").status, 0);
    const Outcome listed = Orvane(m_state, {"hosts"}, true);
    for (const char* host : {"192.168.1.1\t", "192.168.1.5\t", "192.168.1.9\t"})
        EXPECT_NE(listed.out.find(host), std::string::npos) << host << " missing:\n" << listed.out;

    const std::string rootState = FreshStateHome();
    const Captured piped = Shell("bash -c \"XDG_STATE_HOME='" + rootState + "' '" + Program() + "' scan 2>'" +
                                 rootState + "/err' | head -1 >/dev/null; exit \\${PIPESTATUS[0]}\"");
    EXPECT_EQ(piped.status, 1);
    EXPECT_NE(ReadFile(rootState + "/err").find("write error"), std::string::npos)
        << ReadFile(rootState + "/err");
    EXPECT_NE(Orvane(rootState, {"hosts"}).out.find("192.168.1.1\t"), std::string::npos);
    Shell("rm -rf '" + rootState + "'");
}

TEST_F(CliLab, TwoScansAtOnceAndATruncatedFileLoseNoHost)
{
    ASSERT_EQ(mkdir((m_state + "/orvane").c_str(), 0700), 0);
    const std::string hostsFile = m_state + "/orvane/hosts";
    {
        std::ofstream out(hostsFile);
        out << "10.9.9.1\t02-4F-52-09-09-01\twlan0\t2026-01-02T03:04:05Z\n"
               "10.9.9.2\t02-4F-52-09-09-02\twlan0\t2026-01-02T03:04:05Z\n"
               "10.9.9.3\t02-4F-52-09-09-03\twl";  // cut short by a crash
    }
    // One sweep per adapter, at once: each sees hosts the other does not.
    const std::string program = Program();
    const Captured both =
        Shell("export XDG_STATE_HOME='" + m_state + "'; '" + program + "' scan >" + m_state + "/a & '" +
              program + "' scan --interface e1 >" + m_state + "/b 2>/dev/null & wait %1 && wait %2");
    EXPECT_EQ(both.status, 0);
    EXPECT_EQ(ReadFile(m_state + "/a"), kEth0Hosts);
    EXPECT_NE(ReadFile(m_state + "/b").find("192.168.2.1\t02-4F-52-00-03-01\n"), std::string::npos);

    const Outcome listed = Orvane(m_state, {"hosts"});
    EXPECT_EQ(listed.status, 0);
    for (const char* line :
         {"10.9.9.1\t02-4F-52-09-09-01\twlan0\t2026-01-02T03:04:05Z\n",
          "10.9.9.2\t02-4F-52-09-09-02\twlan0\t", "192.168.1.1\t02-4F-52-00-02-01\teth0\t",
          "192.168.1.5\t02-4F-52-00-02-05\teth0\t", "192.168.1.9\t02-4F-52-00-00-09\teth0\t",
          "192.168.2.1\t02-4F-52-00-03-01\te1\t"})
        EXPECT_NE(listed.out.find(line), std::string::npos) << line << "\n" << listed.out;
    EXPECT_EQ(listed.out.find("10.9.9.3"), std::string::npos);
}

TEST_F(CliLab, RemembersAHostThatLeftTheLan)
{
    ASSERT_EQ(Orvane(m_state, {"scan"}).status, 0);
    const std::string hostsFile = m_state + "/orvane/hosts";
    const std::string before = ReadFile(hostsFile);
    // Nothing new, nothing written: a wake reads the file only.
    struct stat first {};
    ASSERT_EQ(stat(hostsFile.c_str(), &first), 0);

    // .5 leaves: its bridge port goes down and the client forgets it.
    const auto hosts = Words(LabEnv("ORVANE_LAB_HOSTS"));
    ASSERT_GE(hosts.size(), 2u);
    ASSERT_EQ(
        Shell("ip -n " + LabEnv("ORVANE_LAB_BRIDGE") + " link set h2 down && ip neigh flush all").status, 0);

    Listener atHost1(hosts[0], WAKE_PORT);
    ASSERT_TRUE(atHost1.Ready());
    const Outcome woken = Orvane(m_state, {"wake", "192.168.1.5"});
    EXPECT_EQ(woken.status, 0) << woken.err;
    ASSERT_TRUE(atHost1.WaitFor(1, 10s));
    const auto received = atHost1.Received();
    ASSERT_EQ(received.at(0).bytes.size(), static_cast<std::size_t>(MAGIC_PACKET_SEND_LEN));
    const std::vector<unsigned char> mac(received[0].bytes.begin() + 6, received[0].bytes.begin() + 12);
    EXPECT_EQ(mac, (std::vector<unsigned char>{0x02, 0x4F, 0x52, 0x00, 0x02, 0x05}));

    // Not remembered, but in the system's neighbour table.
    ASSERT_EQ(Shell("ip neigh replace 192.168.1.13 lladdr 02:4f:52:00:00:13 dev eth0 nud reachable").status,
              0);
    EXPECT_EQ(Orvane(m_state, {"wake", "192.168.1.13"}).status, 0);
    ASSERT_TRUE(atHost1.WaitFor(2, 10s));
    EXPECT_EQ(atHost1.Received().at(1).bytes.at(11), 0x13);
    // Known nowhere: a message, status 1.
    const Outcome unknown = Orvane(m_state, {"wake", "192.168.1.14"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("no MAC address known for 192.168.1.14"), std::string::npos) << unknown.err;

    struct stat after {};
    ASSERT_EQ(stat(hostsFile.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, first.st_ino) << "rewritten with nothing new";
    EXPECT_EQ(ReadFile(hostsFile), before);
}

// ------------------------------------------------------------- interrupt

// The sweep of a /24 with hosts at .1 and .250 only: interrupted as soon as
// .1 is printed, it must end with 130 long before .250 could answer, and
// remember .1.
TEST_F(CliLab, InterruptEndsTheScanWith130AndKeepsWhatItFound)
{
    if (LabEnv("ORVANE_TEST_INTERRUPT").empty())
        GTEST_SKIP() << "needs the /24 lab";
    int out[2];
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    const std::string stateEnv = "XDG_STATE_HOME=" + m_state;
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        putenv(const_cast<char*>(stateEnv.c_str()));
        execl(Program().c_str(), Program().c_str(), "scan", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string printed;
    char buffer[256];
    while (printed.find('\n') == std::string::npos) {
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        printed.append(buffer, static_cast<std::size_t>(n));
    }
    ASSERT_EQ(printed, "192.168.1.1\t02-4F-52-00-02-01\n");
    ASSERT_EQ(kill(child, SIGINT), 0);
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
        printed.append(buffer, static_cast<std::size_t>(n));
    close(out[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_EQ(printed, "192.168.1.1\t02-4F-52-00-02-01\n");
    EXPECT_NE(ReadFile(m_state + "/orvane/hosts").find("192.168.1.1\t02-4F-52-00-02-01\teth0\t"),
              std::string::npos);
}

}  // namespace
