// arp-responder: a fake segment full of machines for the lab.
//
// Listens for ARP requests on one interface of a lab namespace (normally br0
// in the bridge namespace) and answers those for addresses in its table,
// unicast to the asker, the way a real host would, or oddly on purpose:
// late, with a short hardware length, twice with two MACs, tagged for a
// VLAN, addressed to another station, with an odd target hardware address
// (zero, broadcast, another station's), and with unsolicited replies for
// addresses nobody asked about. It only ever sends in
// answer to a request, and refuses to run outside a lab namespace.
//
//   arp-responder [--if IFACE] [--ready-file PATH] [--verbose]
//                 --answer IP=MAC[,delay=MS][,hlen=N][,twice=MAC2][,vlan=ID][,to=MAC3][,tha=MAC4] ...
//                 --unsolicited IP=MAC ...
#include <arpa/inet.h>
#include <fcntl.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/if_ether.h>
#include <netpacket/packet.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <queue>
#include <string>
#include <vector>

#include "tools/labguard.h"

namespace {

using Clock = std::chrono::steady_clock;
using Mac = std::array<std::uint8_t, 6>;

struct Answer {
    Mac mac{};
    int delay_ms = 0;
    int hlen = 6;              // hardware length field, and bytes of MAC sent
    std::optional<Mac> twice;  // a second reply right after the first
    int vlan = -1;             // 0-4095: an 802.1Q tag with this VLAN ID
    std::optional<Mac> to;     // another station's MAC: the reply is for it
    std::optional<Mac> tha;    // the ARP target hardware field alone, still to the asker
};

struct Pending {
    Clock::time_point due;
    std::vector<std::uint8_t> frame;
    bool operator>(const Pending& other) const { return due > other.due; }
};

// Late replies wait here; the bound keeps a request flood from growing it.
constexpr std::size_t kMaxPending = 4096;
constexpr int kMaxDelayMs = 60'000;

volatile sig_atomic_t g_stop = 0;
bool g_verbose = false;

void OnSignal(int)
{
    g_stop = 1;
}

[[noreturn]] void Usage(const char* problem)
{
    std::fprintf(
        stderr,
        "arp-responder: %s\n"
        "usage: arp-responder [--if IFACE] [--ready-file PATH] [--verbose]\n"
        "       --answer IP=MAC[,delay=MS][,hlen=N][,twice=MAC2][,vlan=ID][,to=MAC3][,tha=MAC4] ...\n"
        "       --unsolicited IP=MAC ...\n",
        problem);
    std::exit(2);
}

bool ParseMac(const std::string& text, Mac& mac)
{
    unsigned v[6];
    char tail;
    if (std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                    &tail) != 6)
        return false;
    for (int i = 0; i < 6; ++i)
        mac[i] = static_cast<std::uint8_t>(v[i]);
    return true;
}

bool ParseIp(const std::string& text, std::uint32_t& ip)
{
    in_addr addr{};
    if (inet_pton(AF_INET, text.c_str(), &addr) != 1)
        return false;
    ip = addr.s_addr;  // network order, as in the frame
    return true;
}

bool ParseInt(const std::string& text, int low, int high, int& out)
{
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || v < low || v > high)
        return false;
    out = static_cast<int>(v);
    return true;
}

// IP=MAC[,key=value...]
void ParseEntry(const std::string& entry, bool modifiers_allowed, std::map<std::uint32_t, Answer>& table)
{
    std::size_t eq = entry.find('=');
    if (eq == std::string::npos)
        Usage(("bad entry '" + entry + "'").c_str());
    std::uint32_t ip = 0;
    if (!ParseIp(entry.substr(0, eq), ip))
        Usage(("bad IPv4 address in '" + entry + "'").c_str());
    std::string rest = entry.substr(eq + 1);
    std::size_t comma = rest.find(',');
    Answer answer;
    if (!ParseMac(rest.substr(0, comma), answer.mac))
        Usage(("bad MAC in '" + entry + "'").c_str());
    while (comma != std::string::npos) {
        if (!modifiers_allowed)
            Usage(("no modifiers allowed in '" + entry + "'").c_str());
        std::size_t next = rest.find(',', comma + 1);
        std::string item = rest.substr(comma + 1, next == std::string::npos ? next : next - comma - 1);
        comma = next;
        std::size_t ieq = item.find('=');
        std::string key = item.substr(0, ieq);
        std::string value = ieq == std::string::npos ? "" : item.substr(ieq + 1);
        if (key == "delay") {
            if (!ParseInt(value, 0, kMaxDelayMs, answer.delay_ms))
                Usage(("bad delay in '" + entry + "'").c_str());
        } else if (key == "hlen") {
            if (!ParseInt(value, 0, 6, answer.hlen))
                Usage(("bad hlen (0-6) in '" + entry + "'").c_str());
        } else if (key == "twice") {
            Mac second{};
            if (!ParseMac(value, second))
                Usage(("bad twice MAC in '" + entry + "'").c_str());
            answer.twice = second;
        } else if (key == "vlan") {
            if (!ParseInt(value, 0, 4095, answer.vlan))
                Usage(("bad vlan (0-4095) in '" + entry + "'").c_str());
        } else if (key == "to") {
            Mac other{};
            if (!ParseMac(value, other))
                Usage(("bad to MAC in '" + entry + "'").c_str());
            answer.to = other;
        } else if (key == "tha") {
            Mac field{};
            if (!ParseMac(value, field))
                Usage(("bad tha MAC in '" + entry + "'").c_str());
            answer.tha = field;
        } else {
            Usage(("unknown modifier '" + key + "' in '" + entry + "'").c_str());
        }
    }
    table[ip] = answer;
}

// An ARP reply "ip is-at mac" to the asker. With hlen < 6 only that many
// bytes of each hardware address are in the frame, as the length field says.
// `vlan` 0-4095 adds an 802.1Q tag; `to` sends it to that station instead
// (Ethernet destination and ARP target hardware address; the target IP
// stays the asker's).
std::vector<std::uint8_t> BuildReply(const Mac& mac, int hlen, std::uint32_t ip,
                                     const std::uint8_t* asker_mac, std::uint32_t asker_ip, int vlan = -1,
                                     const std::optional<Mac>& to = std::nullopt)
{
    if (to)
        asker_mac = to->data();
    std::vector<std::uint8_t> f;
    f.insert(f.end(), asker_mac, asker_mac + 6);  // Ethernet destination
    f.insert(f.end(), mac.begin(), mac.end());    // Ethernet source
    if (vlan >= 0) {
        f.push_back(0x81);
        f.push_back(0x00);
        f.push_back(static_cast<std::uint8_t>(vlan >> 8));
        f.push_back(static_cast<std::uint8_t>(vlan));
    }
    f.push_back(0x08);
    f.push_back(0x06);  // ARP
    f.push_back(0x00);
    f.push_back(0x01);  // hardware: Ethernet
    f.push_back(0x08);
    f.push_back(0x00);  // protocol: IPv4
    f.push_back(static_cast<std::uint8_t>(hlen));
    f.push_back(4);
    f.push_back(0x00);
    f.push_back(0x02);  // reply
    f.insert(f.end(), mac.begin(), mac.begin() + hlen);
    const auto* sip = reinterpret_cast<const std::uint8_t*>(&ip);
    f.insert(f.end(), sip, sip + 4);
    f.insert(f.end(), asker_mac, asker_mac + hlen);
    const auto* tip = reinterpret_cast<const std::uint8_t*>(&asker_ip);
    f.insert(f.end(), tip, tip + 4);
    return f;
}

std::string IpText(std::uint32_t ip)
{
    char buf[INET_ADDRSTRLEN];
    in_addr addr{};
    addr.s_addr = ip;
    inet_ntop(AF_INET, &addr, buf, sizeof buf);
    return buf;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string ifname = "br0";
    std::string ready_file;
    std::map<std::uint32_t, Answer> table;
    std::map<std::uint32_t, Answer> unsolicited;

    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                Usage((arg + " needs a value").c_str());
            return argv[++i];
        };
        if (arg == "--if")
            ifname = value();
        else if (arg == "--answer")
            ParseEntry(value(), true, table);
        else if (arg == "--unsolicited")
            ParseEntry(value(), false, unsolicited);
        else if (arg == "--ready-file")
            ready_file = value();
        else if (arg == "--verbose")
            g_verbose = true;
        else
            Usage(("unknown option '" + arg + "'").c_str());
    }

    RequireLabNamespace("arp-responder");

    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);  // no SA_RESTART: poll() must return
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);

    unsigned ifindex = if_nametoindex(ifname.c_str());
    if (ifindex == 0) {
        std::fprintf(stderr, "arp-responder: no interface %s: %s\n", ifname.c_str(), std::strerror(errno));
        return 1;
    }
    int fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, htons(ETH_P_ARP));
    if (fd < 0) {
        std::fprintf(stderr, "arp-responder: AF_PACKET socket: %s\n", std::strerror(errno));
        return 1;
    }
    sockaddr_ll bind_addr{};
    bind_addr.sll_family = AF_PACKET;
    bind_addr.sll_protocol = htons(ETH_P_ARP);
    bind_addr.sll_ifindex = static_cast<int>(ifindex);
    if (bind(fd, reinterpret_cast<sockaddr*>(&bind_addr), sizeof bind_addr) != 0) {
        std::fprintf(stderr, "arp-responder: bind to %s: %s\n", ifname.c_str(), std::strerror(errno));
        return 1;
    }

    if (!ready_file.empty()) {
        int rf = open(ready_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (rf < 0) {
            std::fprintf(stderr, "arp-responder: %s: %s\n", ready_file.c_str(), std::strerror(errno));
            return 1;
        }
        close(rf);
    }
    if (g_verbose)
        std::fprintf(stderr, "arp-responder: listening on %s, %zu answers, %zu unsolicited\n", ifname.c_str(),
                     table.size(), unsolicited.size());

    auto send_frame = [&](const std::vector<std::uint8_t>& frame) {
        sockaddr_ll to{};
        to.sll_family = AF_PACKET;
        to.sll_ifindex = static_cast<int>(ifindex);
        to.sll_halen = 6;
        std::memcpy(to.sll_addr, frame.data(), 6);
        if (sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0)
            std::fprintf(stderr, "arp-responder: send: %s\n", std::strerror(errno));
    };

    std::priority_queue<Pending, std::vector<Pending>, std::greater<>> pending;

    while (!g_stop) {
        auto now = Clock::now();
        while (!pending.empty() && pending.top().due <= now) {
            send_frame(pending.top().frame);
            pending.pop();
        }
        int timeout = -1;
        if (!pending.empty()) {
            auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(pending.top().due - now);
            timeout = static_cast<int>(wait.count()) + 1;
        }
        pollfd pfd{fd, POLLIN, 0};
        int n = poll(&pfd, 1, timeout);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "arp-responder: poll: %s\n", std::strerror(errno));
            return 1;
        }
        if (n == 0 || (pfd.revents & POLLIN) == 0)
            continue;

        std::uint8_t buf[2048];
        sockaddr_ll from{};
        socklen_t from_len = sizeof from;
        ssize_t len = recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &from_len);
        if (len < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "arp-responder: receive: %s\n", std::strerror(errno));
            return 1;
        }
        if (from.sll_pkttype == PACKET_OUTGOING)
            continue;  // our own replies
        // Only well-formed Ethernet/IPv4 requests: 14 + 28 bytes.
        if (len < 42)
            continue;
        const std::uint8_t* arp = buf + 14;
        if (buf[12] != 0x08 || buf[13] != 0x06)
            continue;
        if (arp[0] != 0x00 || arp[1] != 0x01 || arp[2] != 0x08 || arp[3] != 0x00)
            continue;
        if (arp[4] != 6 || arp[5] != 4 || arp[6] != 0x00 || arp[7] != 0x01)
            continue;
        const std::uint8_t* asker_mac = arp + 8;
        std::uint32_t asker_ip, target_ip;
        std::memcpy(&asker_ip, arp + 14, 4);
        std::memcpy(&target_ip, arp + 24, 4);

        // Unsolicited: claims for other addresses, sent at once to the asker.
        for (const auto& [ip, claim] : unsolicited) {
            if (ip == target_ip)
                continue;
            send_frame(BuildReply(claim.mac, 6, ip, asker_mac, asker_ip));
            if (g_verbose)
                std::fprintf(stderr, "arp-responder: unsolicited %s to %s\n", IpText(ip).c_str(),
                             IpText(asker_ip).c_str());
        }

        auto it = table.find(target_ip);
        if (it == table.end())
            continue;
        const Answer& answer = it->second;
        auto due = Clock::now() + std::chrono::milliseconds(answer.delay_ms);
        std::vector<std::vector<std::uint8_t>> frames;
        frames.push_back(
            BuildReply(answer.mac, answer.hlen, target_ip, asker_mac, asker_ip, answer.vlan, answer.to));
        if (answer.twice)
            frames.push_back(BuildReply(*answer.twice, answer.hlen, target_ip, asker_mac, asker_ip,
                                        answer.vlan, answer.to));
        if (g_verbose)
            std::fprintf(stderr, "arp-responder: %s asked for %s: %zu repl%s after %d ms\n",
                         IpText(asker_ip).c_str(), IpText(target_ip).c_str(), frames.size(),
                         frames.size() == 1 ? "y" : "ies", answer.delay_ms);
        for (auto& frame : frames) {
            if (answer.tha) {
                // After the header, the tag, the sender's hardware and IP address.
                const std::size_t at = (answer.vlan >= 0 ? 18 : 14) + 8 + answer.hlen + 4;
                std::copy(answer.tha->begin(), answer.tha->begin() + answer.hlen, frame.begin() + at);
            }
            if (answer.delay_ms == 0) {
                send_frame(frame);
            } else if (pending.size() < kMaxPending) {
                // Equal due times keep their order: the second reply is pushed a
                // microsecond later.
                pending.push(Pending{due, std::move(frame)});
                due += std::chrono::microseconds(1);
            }
        }
    }
    close(fd);
    return 0;
}
