// The lab tools from outside: these tests run in the namespace CTest starts
// them in (the machine's own) and send nothing there. They build labs with
// tools/orvane-lab, look into them from threads that entered a lab
// namespace, and check that labs are isolated and always removed.
#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>

#include <gtest/gtest.h>

#include "tests/support/lab.h"

extern char** environ;

namespace {

using namespace labtest;
using namespace std::chrono_literals;

class LabTools : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!IsRoot())
            GTEST_SKIP() << "lab tests need root";
        setenv("ORVANE_ARP_RESPONDER", ResponderPath().c_str(), 1);
        setenv("ORVANE_LAB_QUIET", "1", 1);
    }
    void TearDown() override
    {
        for (const auto& name : labs_)
            Shell(Lab("down " + name + " >/dev/null 2>&1"));
    }
    // A lab name of this test process, removed at the end of the test.
    std::string NewName(const char* tag)
    {
        std::string name = "orvt" + std::to_string(getpid() % 100000) + tag;
        labs_.push_back(name);
        return name;
    }
    std::map<std::string, std::string> Up(const std::string& name, const std::string& topology)
    {
        Captured r = Shell(Lab("up " + name + " " + topology));
        EXPECT_EQ(r.status, 0) << "up " << name << " " << topology;
        return ParseAssignments(r.out);
    }
    std::vector<std::string> labs_;
};

// ---------------------------------------------------------------- guard --

// The namespace CTest runs in is the machine's own (or, where /proc/1 cannot
// be inspected, at least not a lab's): the guard must refuse it.
TEST_F(LabTools, GuardRefusesTheMachinesNamespace)
{
    std::string not_initial = NotInitialNamespaceProblem();
    EXPECT_NE(not_initial.find("not a lab"), std::string::npos) << not_initial;
    EXPECT_EQ(LabNamespaceProblem(), not_initial);
    // And a thread that comes back from a lab is refused again.
    std::string name = NewName("w");
    Up(name, "");
    std::string in_lab = "not entered", back = "not entered";
    std::thread t([&] {
        int home = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        if (!EnterNetNamespace(name + "-c"))
            return;
        in_lab = LabNamespaceProblem();
        if (setns(home, CLONE_NEWNET) == 0)
            back = LabNamespaceProblem();
        close(home);
    });
    t.join();
    EXPECT_EQ(in_lab, "");
    EXPECT_EQ(back, not_initial);
}

TEST_F(LabTools, RequireLabNamespaceExitsWith3OutsideALab)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RequireLabNamespace("probe"), ::testing::ExitedWithCode(3),
                "probe: refusing to run: .*not a lab");
}

// Which namespaces of which labs the guard accepts, and what it says.
TEST_F(LabTools, GuardChecksEveryInterfaceMac)
{
    struct Case {
        const char* tag;
        const char* topology;
        const char* role;
        const char* problem;  // "" when accepted, else a piece of the reason
    };
    const Case cases[] = {
        {"a", "", "c", ""},
        {"a", "", "b", ""},
        {"a", "", "h1", ""},
        {"b", "--client-mac 00:1a:2b:3c:4d:5e", "c", "interface eth0 has MAC 00:1a:2b:3c:4d:5e"},
        // Its bridge side still carries only lab MACs.
        {"b", "--client-mac 00:1a:2b:3c:4d:5e", "b", ""},
        {"c", "--client-extra eth1:10.0.0.2/24:0a:00:00:00:00:01", "c",
         "interface eth1 has MAC 0a:00:00:00:00:01"},
        {"d", "--client-extra eth2:none:private", "c", ""},
        {"d", "--client-extra eth2:none:private", "p1", ""},
        {"e", "--client-loopback-only", "c", ""},
        {"f", "--host 192.168.1.9=00:00:5e:00:53:01", "h1", "interface eth0 has MAC 00:00:5e:00:53:01"},
    };
    std::map<std::string, std::string> built;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.topology) + " role " + c.role);
        if (!built.count(c.tag)) {
            built[c.tag] = NewName(c.tag);
            Up(built[c.tag], c.topology);
        }
        std::string problem = "not entered", not_initial = "not entered";
        EXPECT_TRUE(InNamespace(built[c.tag] + "-" + c.role, [&] {
            problem = LabNamespaceProblem();
            not_initial = NotInitialNamespaceProblem();
        }));
        EXPECT_EQ(not_initial, "");
        if (*c.problem == '\0')
            EXPECT_EQ(problem, "");
        else
            EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
    }
}

TEST_F(LabTools, ResponderRefusesToRunOutsideALab)
{
    std::string name = NewName("r");
    Up(name, "--client-mac 00:1a:2b:3c:4d:5e");
    struct Case {
        const char* where;
        std::string command;
    };
    const Case cases[] = {
        {"the machine's namespace",
         "'" + ResponderPath() + "' --if lo --answer 10.0.0.1=02:4f:52:00:00:01 2>&1"},
        {"client with a real-looking MAC", "ip netns exec " + name + "-c '" + ResponderPath() +
                                               "' --if eth0 --answer 10.0.0.1=02:4f:52:00:00:01 2>&1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        Captured r = Shell(c.command);
        EXPECT_EQ(r.status, 3);
        EXPECT_NE(r.out.find("arp-responder: refusing to run"), std::string::npos) << r.out;
    }
}
// ------------------------------------------------------------ topology --
// ------------------------------------------------------------ isolation --

TEST_F(LabTools, TwoLabsRunAtOnceAndStaySeparate)
{
    std::string a = NewName("a"), b = NewName("b");
    std::map<std::string, std::string> va, vb;
    // Built at the same time, from two threads.
    std::thread ta([&] { va = Up(a, "--host 192.168.1.1=02:4f:52:00:0a:01"); });
    std::thread tb([&] { vb = Up(b, "--host 192.168.1.1=02:4f:52:00:0b:01"); });
    ta.join();
    tb.join();
    ASSERT_EQ(va["ORVANE_LAB_CLIENT"], a + "-c");
    ASSERT_EQ(vb["ORVANE_LAB_CLIENT"], b + "-c");

    // The same address answers with each lab's own host.
    const Mac client = MacOf("02:4f:52:00:01:17");
    for (const auto& [name, mac] :
         {std::pair{a, MacOf("02:4f:52:00:0a:01")}, std::pair{b, MacOf("02:4f:52:00:0b:01")}}) {
        SCOPED_TRACE(name);
        std::vector<Bytes> got;
        std::string problem = "not entered";
        ASSERT_TRUE(InNamespace(name + "-c", [&] {
            RawArp arp("eth0");
            problem = arp.problem();
            if (!problem.empty())
                return;
            arp.Send(ArpRequest(client, "192.168.1.23", "192.168.1.1"));
            for (auto& r : arp.Replies(500ms, [](const auto& v) { return !v.empty(); }))
                got.push_back(Bytes(r.frame.begin(), r.frame.begin() + std::min<size_t>(42, r.frame.size())));
        }));
        ASSERT_EQ(problem, "");
        EXPECT_EQ(Hex(got), Hex(std::vector<Bytes>{ArpReply(mac, "192.168.1.1", client, "192.168.1.23")}));
    }
    EXPECT_EQ(Shell(Lab("down " + a)).status, 0);
    EXPECT_TRUE(NamespacesOf(a).empty());
    EXPECT_EQ(NamespacesOf(b).size(), 3u);  // b is untouched
    EXPECT_EQ(Shell(Lab("down " + b)).status, 0);
    EXPECT_TRUE(NamespacesOf(b).empty());
}
// -------------------------------------------------------------- teardown --

TEST_F(LabTools, RunPassesTheStatusAndAlwaysRemovesTheLab)
{
    struct Case {
        const char* command;
        int status;
    };
    const Case cases[] = {{"true", 0}, {"false", 1}, {"sh -c 'exit 7'", 7}, {"sh -c 'kill -9 $$'", 137}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        std::string name = NewName("s");
        Captured r = Shell(Lab("run --name " + name + " -- " + c.command));
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(NamespacesOf(name).empty());
        EXPECT_FALSE(WaitFor([&] { return access(("/run/orvane-lab/" + name).c_str(), F_OK) == 0; }, 0ms));
    }
}
pid_t SpawnLab(const std::string& name, const std::string& marker)
{
    std::string script = LabScript();
    std::string cmd = "echo $$ > " + marker + "; exec sleep 60";
    const char* argv[] = {script.c_str(), "run", "--name",    name.c_str(), "--",
                          "sh",           "-c",  cmd.c_str(), nullptr};
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    if (posix_spawn(&pid, script.c_str(), nullptr, &attr, const_cast<char**>(argv), environ) != 0)
        pid = -1;
    posix_spawnattr_destroy(&attr);
    return pid;
}

int WaitStatus(pid_t pid, std::chrono::milliseconds timeout)
{
    int raw = 0;
    bool done = WaitFor([&] { return waitpid(pid, &raw, WNOHANG) == pid; }, timeout);
    if (!done) {
        kill(pid, SIGKILL);
        waitpid(pid, &raw, 0);
        return -1;
    }
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

pid_t ReadPid(const std::string& path)
{
    pid_t pid = 0;
    std::ifstream(path) >> pid;
    return pid;
}

TEST_F(LabTools, SignalsEndTheCommandAndRemoveTheLab)
{
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(sig));
        std::string name = NewName("g");
        std::string marker = "/tmp/" + name + ".pid";
        std::remove(marker.c_str());
        pid_t lab = SpawnLab(name, marker);
        ASSERT_GT(lab, 0);
        ASSERT_TRUE(WaitFor([&] { return ReadPid(marker) > 0; }, 5s));
        pid_t command = ReadPid(marker);
        EXPECT_EQ(NamespacesOf(name).size(), 3u);
        kill(lab, sig);
        EXPECT_EQ(WaitStatus(lab, 5s), 128 + sig);
        EXPECT_TRUE(WaitFor([&] { return !ProcessAlive(command); }, 2s));
        EXPECT_TRUE(NamespacesOf(name).empty());
        std::remove(marker.c_str());
    }
}
}  // namespace
