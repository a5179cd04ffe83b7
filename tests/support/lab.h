// Helpers for every test that works with lab namespaces (tools/orvane-lab):
// the guard at the top of a test, the lab's environment, running programs
// and the lab script, ARP frames on a lab interface, and listening for what
// the program sends.
#pragma once

#include "platform/net/iphlpapi.h"
#include "tools/labguard.h"

// Addresses and processes are what lab tests handle everywhere.
#include <arpa/inet.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace labtest {

// ------------------------------------------------------------------ guard
// Skips the test unless this is a lab namespace; run as root by the lab
// script it always is. Use at the top of every test that can send.
#define REQUIRE_LAB()                                                            \
    do {                                                                         \
        const std::string labProblem = LabNamespaceProblem();                    \
        if (!labProblem.empty())                                                 \
            GTEST_SKIP() << "not inside a lab (" << labProblem << "); refusing"; \
    } while (0)

bool IsRoot();

// ----------------------------------------------------------- environment
// Environment the lab script sets (empty when absent).
std::string LabEnv(const char* name);
// The lab's kernel hosts (ORVANE_LAB_HOSTS).
std::vector<std::string> LabHosts();
// The blank-separated words of `text`.
std::vector<std::string> Words(const std::string& text);

// -------------------------------------------------------------- programs
struct Captured {
    int status = -1;  // exit status (128 + signal from Shell), -1 otherwise
    std::string out;  // standard output
};

// Runs argv with its standard output captured (standard error passes).
Captured RunCaptured(const std::vector<std::string>& argv);
// The same command as an ordinary user with no capabilities left.
std::vector<std::string> AsOrdinaryUser(std::vector<std::string> argv);
// Runs a /bin/sh command line, standard error passed through.
Captured Shell(const std::string& command);
bool ProcessAlive(pid_t pid);
// Open file descriptors of this process.
int OpenDescriptorCount();

// ------------------------------------------------------------ lab script
std::string LabScript();
std::string ResponderPath();
// The command line that runs the lab script with `args`.
std::string Lab(const std::string& args);
// Key=value lines, as `orvane-lab up` prints them (values %q-quoted).
std::map<std::string, std::string> ParseAssignments(const std::string& text);
bool NamespaceExists(const std::string& ns);
// Every registered namespace of the lab `name`.
std::vector<std::string> NamespacesOf(const std::string& name);
// Runs fn on a thread that has entered the namespace; false if it could not.
bool InNamespace(const std::string& ns, const std::function<void()>& fn);

// ------------------------------------------------------- waits, figures
using Clock = std::chrono::steady_clock;
// Polls until cond() or the time-out; returns the last cond().
bool WaitFor(const std::function<bool()>& cond, std::chrono::milliseconds timeout);
double Median(std::vector<double> values);

// ------------------------------------------------------------ addresses
using Bytes = std::vector<std::uint8_t>;
using Mac = std::array<std::uint8_t, 6>;

Mac MacOf(const char* text);
std::array<std::uint8_t, 4> IpOf(const char* text);
// "aa:bb:..." for `length` bytes; "-" for none.
std::string MacText(const BYTE* bytes, UINT length);
// One line per record and per address entry, so that a record list read
// in-process and one printed by another process compare as text.
std::string DescribeAdapters(const IP_ADAPTER_INFO* record);

// ------------------------------------------------------------ ARP frames
// A who-has request from (mac, ip) for target, as a 42-byte frame.
Bytes ArpRequest(const Mac& mac, const char* ip, const char* target);
// The reply "ip is-at mac" to (askerMac, askerIp), hlen bytes per address.
Bytes ArpReply(const Mac& mac, const char* ip, const Mac& askerMac, const char* askerIp, int hlen = 6);
// The ARP sender protocol address of a frame, wherever hlen puts it.
std::string SenderIp(const Bytes& frame);
int ArpOp(const Bytes& frame);
// Frames as hex text, so that a failed comparison shows readable bytes.
std::string Hex(const Bytes& frame);
std::vector<std::string> Hex(const std::vector<Bytes>& frames);

struct Received {
    Bytes frame;
    Clock::time_point at;
};

// Raw ARP on one interface of the calling thread's namespace. Opens nothing
// unless that namespace passes the lab guard.
class RawArp {
public:
    explicit RawArp(const std::string& ifname);
    ~RawArp();
    RawArp(const RawArp&) = delete;
    RawArp& operator=(const RawArp&) = delete;

    const std::string& problem() const { return problem_; }
    bool Send(const Bytes& frame);
    // Incoming ARP replies until the time-out or until done(replies) is true.
    std::vector<Received> Replies(std::chrono::milliseconds timeout,
                                  const std::function<bool(const std::vector<Received>&)>& done = nullptr);

private:
    int fd_ = -1;
    int ifindex_ = 0;
    std::string problem_;
};

// ------------------------------------------------------------ datagrams
struct Datagram {
    std::vector<unsigned char> bytes;
    std::string destination;  // the IPv4 header's destination address
    unsigned short port = 0;  // the port it was received on
};

// Receives UDP datagrams on 0.0.0.0:<port> inside a network namespace (a
// lab host's, or the current one for an empty name) on its own thread.
class Listener {
public:
    Listener(const std::string& netns, unsigned short port);
    ~Listener();
    bool Ready() const { return m_ready; }
    std::vector<Datagram> Received() const;
    // Waits until at least `count` datagrams have arrived (or `limit`).
    bool WaitFor(std::size_t count, std::chrono::milliseconds limit);

private:
    void Run(const std::string& netns, unsigned short port);
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_ready{false};
    std::atomic<bool> m_started{false};
    mutable std::mutex m_mutex;
    std::vector<Datagram> m_received;
};

// UDP datagrams as they cross one link: a packet socket on `ifname` inside
// network namespace `netns`, on its own thread. Frames on one link keep
// their order, so a marker sent after the datagrams under test tells when
// all of them have been seen.
class LinkCapture {
public:
    struct Udp {
        std::string source;       // IPv4 source address
        std::string destination;  // IPv4 destination address
        unsigned short port = 0;  // UDP destination port
        std::size_t length = 0;   // UDP payload bytes
    };
    LinkCapture(const std::string& netns, const std::string& ifname);
    ~LinkCapture();
    bool Ready() const { return m_ready; }
    std::vector<Udp> Seen() const;
    // Waits until a datagram to `port` has been seen (or `limit`).
    bool WaitForPort(unsigned short port, std::chrono::milliseconds limit) const;

private:
    void Run(const std::string& netns, const std::string& ifname);
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_ready{false};
    std::atomic<bool> m_started{false};
    mutable std::mutex m_mutex;
    std::vector<Udp> m_seen;
};

// Broadcasts one small datagram to 255.255.255.255:`port` from `source`
// (an address of this namespace): the marker for LinkCapture.
bool SendMarker(const char* source, unsigned short port);

}  // namespace labtest
