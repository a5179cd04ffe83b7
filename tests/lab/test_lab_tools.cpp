// The lab tools from outside: these tests run in the namespace CTest starts
// them in (the machine's own) and send nothing there. They build labs with
// tools/orvane-lab, look into them from threads that entered a lab
// namespace, and check that labs are isolated and always removed.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <set>

#include <gtest/gtest.h>

#include "tests/lab/lab_support.h"

extern char** environ;

namespace {

using namespace labtest;
using namespace std::chrono_literals;

class LabTools : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!IsRoot()) GTEST_SKIP() << "lab tests need root";
    setenv("ORVANE_ARP_RESPONDER", ResponderPath().c_str(), 1);
    setenv("ORVANE_LAB_QUIET", "1", 1);
  }
  void TearDown() override {
    for (const auto& name : labs_) Shell(Lab("down " + name + " >/dev/null 2>&1"));
  }
  // A lab name of this test process, removed at the end of the test.
  std::string NewName(const char* tag) {
    std::string name = "orvt" + std::to_string(getpid() % 100000) + tag;
    labs_.push_back(name);
    return name;
  }
  std::map<std::string, std::string> Up(const std::string& name, const std::string& topology) {
    ShellResult r = Shell(Lab("up " + name + " " + topology));
    EXPECT_EQ(r.status, 0) << "up " << name << " " << topology;
    return ParseAssignments(r.out);
  }
  std::vector<std::string> labs_;
};

// ---------------------------------------------------------------- guard --

// The namespace CTest runs in is the machine's own (or, where /proc/1 cannot
// be inspected, at least not a lab's): the guard must refuse it.
TEST_F(LabTools, GuardRefusesTheMachinesNamespace) {
  std::string not_initial = NotInitialNamespaceProblem();
  EXPECT_NE(not_initial.find("not a lab"), std::string::npos) << not_initial;
  EXPECT_EQ(LabNamespaceProblem(), not_initial);
  // And a thread that comes back from a lab is refused again.
  std::string name = NewName("w");
  Up(name, "");
  std::string in_lab = "not entered", back = "not entered";
  std::thread t([&] {
    int home = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    if (!EnterNetNamespace(name + "-c")) return;
    in_lab = LabNamespaceProblem();
    if (setns(home, CLONE_NEWNET) == 0) back = LabNamespaceProblem();
    close(home);
  });
  t.join();
  EXPECT_EQ(in_lab, "");
  EXPECT_EQ(back, not_initial);
}

TEST_F(LabTools, RequireLabNamespaceExitsWith3OutsideALab) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(RequireLabNamespace("probe"), ::testing::ExitedWithCode(3),
              "probe: refusing to run: .*not a lab");
}

// Which namespaces of which labs the guard accepts, and what it says.
TEST_F(LabTools, GuardChecksEveryInterfaceMac) {
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
    if (*c.problem == '\0') EXPECT_EQ(problem, "");
    else EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
  }
}

TEST_F(LabTools, ResponderRefusesToRunOutsideALab) {
  std::string name = NewName("r");
  Up(name, "--client-mac 00:1a:2b:3c:4d:5e");
  struct Case {
    const char* where;
    std::string command;
  };
  const Case cases[] = {
      {"the machine's namespace", "'" + ResponderPath() +
                                      "' --if lo --answer 10.0.0.1=02:4f:52:00:00:01 2>&1"},
      {"client with a real-looking MAC", "ip netns exec " + name + "-c '" + ResponderPath() +
                                             "' --if eth0 --answer 10.0.0.1=02:4f:52:00:00:01 2>&1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.where);
    ShellResult r = Shell(c.command);
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.out.find("arp-responder: refusing to run"), std::string::npos) << r.out;
  }
}

TEST_F(LabTools, ResponderRejectsBadArguments) {
  std::string name = NewName("q");
  Up(name, "");
  for (const char* args : {"--answer 192.168.1.5", "--answer 192.168.1.5=zz:00:00:00:00:00",
                           "--answer 192.168.1.5=02:4f:52:00:00:05,hlen=7",
                           "--answer 192.168.1.5=02:4f:52:00:00:05,color=red",
                           "--unsolicited 192.168.1.5=02:4f:52:00:00:05,delay=5", "--bogus"}) {
    SCOPED_TRACE(args);
    ShellResult r = Shell("ip netns exec " + name + "-b '" + ResponderPath() + "' " + args +
                          " 2>&1");
    EXPECT_EQ(r.status, 2) << r.out;
  }
}

// ------------------------------------------------------------ topology --

TEST_F(LabTools, UpPrintsTheNamesAndTheTopologyIsBuilt) {
  std::string name = NewName("u");
  auto vars = Up(name,
                 "--host 192.168.1.1 --host 192.168.1.200=02:4f:52:00:00:c8 "
                 "--client-addr2 192.168.1.24/24 --client-extra wlan0:10.1.0.5/16 "
                 "--client-extra eth1:none:02:4f:52:00:09:01:down "
                 "--client-extra eth2:172.16.5.2/24:private");
  EXPECT_EQ(vars["ORVANE_LAB"], name);
  EXPECT_EQ(vars["ORVANE_LAB_CLIENT"], name + "-c");
  EXPECT_EQ(vars["ORVANE_LAB_BRIDGE"], name + "-b");
  EXPECT_EQ(vars["ORVANE_LAB_HOSTS"], name + "-h1 " + name + "-h2");
  EXPECT_EQ(vars["ORVANE_LAB_HOST_IPS"], "192.168.1.1 192.168.1.200");
  EXPECT_EQ(vars["ORVANE_LAB_HOST_MACS"], "02:4f:52:00:02:01 02:4f:52:00:00:c8");
  EXPECT_EQ(vars["ORVANE_LAB_CLIENT_IF"], "eth0");
  EXPECT_EQ(vars["ORVANE_LAB_CLIENT_IP"], "192.168.1.23");
  EXPECT_EQ(vars["ORVANE_LAB_GATEWAY"], "192.168.1.1");

  std::string c = name + "-c";
  EXPECT_EQ(Shell("ip -n " + c + " -br -4 addr show dev eth0").out.find(
                "192.168.1.23/24 192.168.1.24/24") != std::string::npos,
            true);
  struct Line {
    std::string command, expected;
  };
  const Line lines[] = {
      {"ip -n " + c + " -o link show dev eth0", "link/ether 02:4f:52:00:01:17"},
      {"ip -n " + c + " -o link show dev wlan0", "link/ether 02:4f:52:00:01:21"},
      {"ip -n " + c + " -o -4 addr show dev wlan0", "inet 10.1.0.5/16"},
      {"ip -n " + c + " -o link show dev eth1", "state DOWN"},
      {"ip -n " + c + " -o link show dev eth1", "link/ether 02:4f:52:00:09:01"},
      {"ip -n " + c + " -o -4 addr show dev eth2", "inet 172.16.5.2/24"},
      {"ip -n " + c + " route show default", "default via 192.168.1.1 dev eth0"},
      {"ip -n " + name + "-h2 -o -4 addr show dev eth0", "inet 192.168.1.200/24"},
      {"ip -n " + name + "-h2 -o link show dev eth0", "link/ether 02:4f:52:00:00:c8"},
      {"ip -n " + name + "-p3 -o link show dev eth0", "state UP"},
      {"ip -n " + name + "-b -o link show dev br0", "link/ether 02:4f:52:"},
      {"ip netns exec " + c + " cat /proc/sys/net/ipv4/conf/all/arp_ignore", "1"},
      {"ip netns exec " + c + " cat /proc/sys/net/ipv4/conf/all/arp_announce", "2"},
  };
  for (const auto& l : lines) {
    std::string out = Shell(l.command).out;
    EXPECT_NE(out.find(l.expected), std::string::npos) << l.command << "\n" << out;
  }
  // eth1 has no IPv4 address; eth1 is down, so it carries no route either.
  EXPECT_EQ(Shell("ip -n " + c + " -o -4 addr show dev eth1").out, "");
}

TEST_F(LabTools, RouteAndLoopbackOnlyVariants) {
  struct Case {
    const char* tag;
    const char* topology;
    const char* command;   // run in the client
    const char* expected;  // exact output
  };
  const Case cases[] = {
      {"n", "--no-route", "ip route show default", ""},
      {"g", "--gateway 192.168.1.254 --host 192.168.1.254", "ip route show default",
       "default via 192.168.1.254 dev eth0 onlink \n"},
      {"l", "--client-loopback-only", "ls /sys/class/net", "lo\n"},
      {"p", "--client 10.20.30.40/8 --gateway 10.0.0.1 --host 10.0.0.1",
       "sh -c \"ip -o -4 addr show dev eth0 | cut -d' ' -f7; ip route show default\"",
       "10.20.30.40/8\ndefault via 10.0.0.1 dev eth0 onlink \n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.topology);
    std::string name = NewName(c.tag);
    Up(name, c.topology);
    EXPECT_EQ(Shell("ip netns exec " + name + "-c " + c.command).out, c.expected);
  }
}

TEST_F(LabTools, BadTopologiesAreRefusedAndLeaveNothing) {
  for (const char* topology :
       {"--client 192.168.1.300/24", "--client-mac 02:4f:52", "--host 1.2.3", "--gateway",
        "--client-extra eth0:10.0.0.1/24", "--client-extra :10.0.0.1/24", "--frobnicate"}) {
    SCOPED_TRACE(topology);
    std::string name = NewName("x");
    ShellResult r = Shell(Lab("up " + name + " " + topology + " 2>/dev/null"));
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(NamespacesOf(name).empty());
    labs_.pop_back();
  }
}

// ------------------------------------------------------------ isolation --

TEST_F(LabTools, TwoLabsRunAtOnceAndStaySeparate) {
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
      if (!problem.empty()) return;
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

TEST_F(LabTools, ALabCanBeBuiltFromInsideAnother) {
  std::string outer = NewName("o"), inner = NewName("i");
  ShellResult r = Shell(Lab("run --name " + outer + " -- '" + LabScript() + "' run --name " + inner +
                            " -- sh -c 'echo $ORVANE_LAB; ls /sys/class/net'"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, inner + "\neth0\nlo\n");
  EXPECT_TRUE(NamespacesOf(outer).empty());
  EXPECT_TRUE(NamespacesOf(inner).empty());
}

// -------------------------------------------------------------- teardown --

TEST_F(LabTools, RunPassesTheStatusAndAlwaysRemovesTheLab) {
  struct Case {
    const char* command;
    int status;
  };
  const Case cases[] = {{"true", 0}, {"false", 1}, {"sh -c 'exit 7'", 7}, {"sh -c 'kill -9 $$'", 137}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    std::string name = NewName("s");
    ShellResult r = Shell(Lab("run --name " + name + " -- " + c.command));
    EXPECT_EQ(r.status, c.status);
    EXPECT_TRUE(NamespacesOf(name).empty());
    EXPECT_FALSE(WaitFor([&] { return access(("/run/orvane-lab/" + name).c_str(), F_OK) == 0; }, 0ms));
  }
}

TEST_F(LabTools, RunStopsTheResponderAndLeftoverProcesses) {
  std::string name = NewName("k");
  std::string pidfile = "/tmp/" + name + ".pids";
  // A background process the command leaves behind, and the responder.
  ShellResult r = Shell(Lab("run --name " + name +
                            " --responder '--answer 192.168.1.50=02:4f:52:00:00:50' -- sh -c '"
                            "sleep 60 & echo $! > " + pidfile + "; ip netns pids $ORVANE_LAB_BRIDGE >> " +
                            pidfile + "; exit 4'"));
  EXPECT_EQ(r.status, 4);
  std::ifstream in(pidfile);
  std::vector<pid_t> pids;
  for (pid_t pid; in >> pid;) pids.push_back(pid);
  std::remove(pidfile.c_str());
  ASSERT_EQ(pids.size(), 2u);  // the sleep and the responder
  for (pid_t pid : pids) EXPECT_TRUE(WaitFor([&] { return !ProcessAlive(pid); }, 2s)) << pid;
  EXPECT_TRUE(NamespacesOf(name).empty());
}

TEST_F(LabTools, FailedBuildLeavesNothing) {
  std::string name = NewName("f");
  // The responder dies on its bad argument after the namespaces exist.
  ShellResult r =
      Shell(Lab("run --name " + name + " --responder '--answer nonsense' -- true 2>/dev/null"));
  EXPECT_EQ(r.status, 125);
  EXPECT_TRUE(NamespacesOf(name).empty());
}

pid_t SpawnLab(const std::string& name, const std::string& marker) {
  std::string script = LabScript();
  std::string cmd = "echo $$ > " + marker + "; exec sleep 60";
  const char* argv[] = {script.c_str(), "run", "--name", name.c_str(), "--", "sh", "-c",
                        cmd.c_str(), nullptr};
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

int WaitStatus(pid_t pid, std::chrono::milliseconds timeout) {
  int raw = 0;
  bool done = WaitFor([&] { return waitpid(pid, &raw, WNOHANG) == pid; }, timeout);
  if (!done) {
    kill(pid, SIGKILL);
    waitpid(pid, &raw, 0);
    return -1;
  }
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

pid_t ReadPid(const std::string& path) {
  pid_t pid = 0;
  std::ifstream(path) >> pid;
  return pid;
}

TEST_F(LabTools, SignalsEndTheCommandAndRemoveTheLab) {
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

TEST_F(LabTools, GcRemovesOrphanedLabsOnly) {
  std::string orphan = NewName("z"), kept = NewName("m");
  std::string marker = "/tmp/" + orphan + ".pid";
  std::remove(marker.c_str());
  Up(kept, "");
  pid_t lab = SpawnLab(orphan, marker);
  ASSERT_GT(lab, 0);
  ASSERT_TRUE(WaitFor([&] { return ReadPid(marker) > 0; }, 5s));
  pid_t command = ReadPid(marker);
  // Killed outright, the script cannot clean up: the lab is left over.
  kill(lab, SIGKILL);
  WaitStatus(lab, 5s);
  EXPECT_EQ(NamespacesOf(orphan).size(), 3u);
  EXPECT_TRUE(ProcessAlive(command));

  EXPECT_EQ(Shell(Lab("gc 2>/dev/null")).status, 0);
  EXPECT_TRUE(NamespacesOf(orphan).empty());
  EXPECT_TRUE(WaitFor([&] { return !ProcessAlive(command); }, 2s));
  EXPECT_EQ(NamespacesOf(kept).size(), 3u);  // made by `up`: kept until down
  std::remove(marker.c_str());
}

}  // namespace
