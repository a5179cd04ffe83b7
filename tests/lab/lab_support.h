// Helpers for the tests of the lab tools: running the lab script, working
// inside a lab namespace from a thread, and raw ARP on a lab interface.
#pragma once

#include <arpa/inet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netpacket/packet.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tools/labguard.h"

namespace labtest {

using Bytes = std::vector<std::uint8_t>;
using Mac = std::array<std::uint8_t, 6>;
using Clock = std::chrono::steady_clock;

inline bool IsRoot()
{
    return geteuid() == 0;
}

inline std::string LabScript()
{
    const char* env = std::getenv("ORVANE_LAB_SCRIPT");
    return env ? env : ORVANE_SOURCE_DIR "/tools/orvane-lab";
}

inline std::string ResponderPath()
{
    return ORVANE_ARP_RESPONDER_PATH;
}

struct ShellResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;  // standard output
};

// Runs a /bin/sh command line, standard error passed through.
inline ShellResult Shell(const std::string& command)
{
    ShellResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0)
        result.out.append(buf, n);
    int raw = pclose(pipe);
    if (WIFEXITED(raw))
        result.status = WEXITSTATUS(raw);
    else if (WIFSIGNALED(raw))
        result.status = 128 + WTERMSIG(raw);
    return result;
}

inline std::string Lab(const std::string& args)
{
    return "ORVANE_ARP_RESPONDER='" + ResponderPath() + "' ORVANE_LAB_QUIET=1 '" + LabScript() + "' " + args;
}

// Key=value lines, as `orvane-lab up` prints them (values %q-quoted).
inline std::map<std::string, std::string> ParseAssignments(const std::string& text)
{
    std::map<std::string, std::string> vars;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string value = line.substr(eq + 1);
        std::string unquoted;
        for (size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size())
                unquoted += value[++i];
            else if (value[i] != '\'')
                unquoted += value[i];
        }
        vars[line.substr(0, eq)] = unquoted;
    }
    return vars;
}

inline bool NamespaceExists(const std::string& ns)
{
    struct stat st {};
    return stat(("/run/netns/" + ns).c_str(), &st) == 0;
}

// Every registered namespace of the lab `name`.
inline std::vector<std::string> NamespacesOf(const std::string& name)
{
    std::vector<std::string> found;
    ShellResult r = Shell("ls /run/netns 2>/dev/null");
    std::istringstream in(r.out);
    std::string ns;
    while (in >> ns)
        if (ns.rfind(name + "-", 0) == 0)
            found.push_back(ns);
    return found;
}

// Runs fn on a thread that has entered the namespace; false if it could not.
inline bool InNamespace(const std::string& ns, const std::function<void()>& fn)
{
    bool entered = false;
    std::thread t([&] {
        entered = EnterNetNamespace(ns);
        if (entered)
            fn();
    });
    t.join();
    return entered;
}

inline bool ProcessAlive(pid_t pid)
{
    std::string stat_path = "/proc/" + std::to_string(pid) + "/stat";
    FILE* f = std::fopen(stat_path.c_str(), "r");
    if (f == nullptr)
        return false;
    char buf[512] = {};
    size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    const char* close_paren = std::strrchr(buf, ')');
    return n > 0 && close_paren != nullptr && close_paren[2] != 'Z';
}

// Polls until cond() or the time-out; returns the last cond().
inline bool WaitFor(const std::function<bool()>& cond, std::chrono::milliseconds timeout)
{
    auto end = Clock::now() + timeout;
    while (Clock::now() < end) {
        if (cond())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return cond();
}

inline Mac MacOf(const char* text)
{
    Mac m{};
    unsigned v[6];
    std::sscanf(text, "%x:%x:%x:%x:%x:%x", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
    for (int i = 0; i < 6; ++i)
        m[i] = static_cast<std::uint8_t>(v[i]);
    return m;
}

inline std::array<std::uint8_t, 4> IpOf(const char* text)
{
    std::array<std::uint8_t, 4> a{};
    inet_pton(AF_INET, text, a.data());
    return a;
}

// A who-has request from (mac, ip) for target, as a 42-byte frame.
inline Bytes ArpRequest(const Mac& mac, const char* ip, const char* target)
{
    Bytes f(6, 0xff);
    f.insert(f.end(), mac.begin(), mac.end());
    f.insert(f.end(), {0x08, 0x06, 0x00, 0x01, 0x08, 0x00, 6, 4, 0x00, 0x01});
    f.insert(f.end(), mac.begin(), mac.end());
    auto sip = IpOf(ip);
    f.insert(f.end(), sip.begin(), sip.end());
    f.insert(f.end(), 6, 0x00);
    auto tip = IpOf(target);
    f.insert(f.end(), tip.begin(), tip.end());
    return f;
}

// The reply "ip is-at mac" to (asker_mac, asker_ip), hlen bytes per address.
inline Bytes ArpReply(const Mac& mac, const char* ip, const Mac& asker_mac, const char* asker_ip,
                      int hlen = 6)
{
    Bytes f(asker_mac.begin(), asker_mac.end());
    f.insert(f.end(), mac.begin(), mac.end());
    f.insert(f.end(), {0x08, 0x06, 0x00, 0x01, 0x08, 0x00, static_cast<std::uint8_t>(hlen), 4, 0x00, 0x02});
    f.insert(f.end(), mac.begin(), mac.begin() + hlen);
    auto sip = IpOf(ip);
    f.insert(f.end(), sip.begin(), sip.end());
    f.insert(f.end(), asker_mac.begin(), asker_mac.begin() + hlen);
    auto tip = IpOf(asker_ip);
    f.insert(f.end(), tip.begin(), tip.end());
    return f;
}

// The ARP sender protocol address of a frame, wherever hlen puts it.
inline std::string SenderIp(const Bytes& f)
{
    if (f.size() < 22 || f[12] != 0x08 || f[13] != 0x06)
        return {};
    size_t hlen = f[18];
    if (f.size() < 22 + hlen + 4)
        return {};
    char buf[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, f.data() + 22 + hlen, buf, sizeof buf);
    return buf;
}

// Frames as hex text, so that a failed comparison shows readable bytes.
inline std::string Hex(const Bytes& f)
{
    std::string text;
    char part[4];
    for (size_t i = 0; i < f.size(); ++i) {
        std::snprintf(part, sizeof part, i ? " %02x" : "%02x", f[i]);
        text += part;
    }
    return text;
}
inline std::vector<std::string> Hex(const std::vector<Bytes>& frames)
{
    std::vector<std::string> text;
    for (const auto& f : frames)
        text.push_back(Hex(f));
    return text;
}

inline int ArpOp(const Bytes& f)
{
    return f.size() >= 22 ? (f[20] << 8 | f[21]) : -1;
}

struct Received {
    Bytes frame;
    Clock::time_point at;
};

// Raw ARP on one interface of the calling thread's namespace. Opens nothing
// unless that namespace passes the lab guard.
class RawArp {
public:
    explicit RawArp(const std::string& ifname)
    {
        problem_ = LabNamespaceProblem();
        if (!problem_.empty())
            return;
        ifindex_ = static_cast<int>(if_nametoindex(ifname.c_str()));
        fd_ = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, htons(ETH_P_ARP));
        if (fd_ < 0 || ifindex_ == 0) {
            problem_ = std::string("raw socket on ") + ifname + ": " + std::strerror(errno);
            return;
        }
        sockaddr_ll addr{};
        addr.sll_family = AF_PACKET;
        addr.sll_protocol = htons(ETH_P_ARP);
        addr.sll_ifindex = ifindex_;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
            problem_ = std::string("bind: ") + std::strerror(errno);
    }
    ~RawArp()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    RawArp(const RawArp&) = delete;
    RawArp& operator=(const RawArp&) = delete;

    const std::string& problem() const { return problem_; }

    bool Send(const Bytes& frame)
    {
        if (!problem_.empty())
            return false;
        sockaddr_ll to{};
        to.sll_family = AF_PACKET;
        to.sll_ifindex = ifindex_;
        to.sll_halen = 6;
        std::memcpy(to.sll_addr, frame.data(), 6);
        return sendto(fd_, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
               static_cast<ssize_t>(frame.size());
    }

    // Incoming ARP replies until the time-out or until done(replies) is true.
    std::vector<Received> Replies(std::chrono::milliseconds timeout,
                                  const std::function<bool(const std::vector<Received>&)>& done = nullptr)
    {
        std::vector<Received> got;
        auto end = Clock::now() + timeout;
        while (problem_.empty()) {
            if (done && done(got))
                break;
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
            if (left.count() <= 0)
                break;
            pollfd pfd{fd_, POLLIN, 0};
            if (poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
                continue;
            std::uint8_t buf[2048];
            sockaddr_ll from{};
            socklen_t len = sizeof from;
            ssize_t n = recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n <= 0 || from.sll_pkttype == PACKET_OUTGOING)
                continue;
            Bytes frame(buf, buf + n);
            if (ArpOp(frame) == 2)
                got.push_back({frame, Clock::now()});
        }
        return got;
    }

private:
    int fd_ = -1;
    int ifindex_ = 0;
    std::string problem_;
};

}  // namespace labtest
