#include "tests/support/lab.h"

#include "platform/net/linux/handles.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <linux/if_ether.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netpacket/packet.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace labtest {

bool IsRoot()
{
    return geteuid() == 0;
}

std::string LabEnv(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::vector<std::string> LabHosts()
{
    return Words(LabEnv("ORVANE_LAB_HOSTS"));
}

std::vector<std::string> Words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

Captured RunCaptured(const std::vector<std::string>& argv)
{
    Captured result;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return result;
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    char buffer[4096];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        result.out.append(buffer, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    return result;
}

std::vector<std::string> AsOrdinaryUser(std::vector<std::string> argv)
{
    argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"});
    return argv;
}

Captured Shell(const std::string& command)
{
    Captured result;
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

bool ProcessAlive(pid_t pid)
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

int OpenDescriptorCount()
{
    int count = 0;
    if (const orvane::linux_handles::Dir dir(opendir("/proc/self/fd")); dir) {
        while (dirent* entry = readdir(dir.get()))
            if (entry->d_name[0] != '.')
                ++count;
        --count;  // the directory's own descriptor
    }
    return count;
}

std::string LabScript()
{
    const char* env = std::getenv("ORVANE_LAB_SCRIPT");
    return env ? env : ORVANE_SOURCE_DIR "/tools/orvane-lab";
}

std::string ResponderPath()
{
    return ORVANE_ARP_RESPONDER_PATH;
}

std::string Lab(const std::string& args)
{
    return "ORVANE_ARP_RESPONDER='" + ResponderPath() + "' ORVANE_LAB_QUIET=1 '" + LabScript() + "' " + args;
}

std::map<std::string, std::string> ParseAssignments(const std::string& text)
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

bool NamespaceExists(const std::string& ns)
{
    struct stat st {};
    return stat(("/run/netns/" + ns).c_str(), &st) == 0;
}

std::vector<std::string> NamespacesOf(const std::string& name)
{
    std::vector<std::string> found;
    Captured r = Shell("ls /run/netns 2>/dev/null");
    std::istringstream in(r.out);
    std::string ns;
    while (in >> ns)
        if (ns.rfind(name + "-", 0) == 0)
            found.push_back(ns);
    return found;
}

bool InNamespace(const std::string& ns, const std::function<void()>& fn)
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

bool WaitFor(const std::function<bool()>& cond, std::chrono::milliseconds timeout)
{
    auto end = Clock::now() + timeout;
    while (Clock::now() < end) {
        if (cond())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return cond();
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

Mac MacOf(const char* text)
{
    Mac m{};
    unsigned v[6];
    std::sscanf(text, "%x:%x:%x:%x:%x:%x", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
    for (int i = 0; i < 6; ++i)
        m[i] = static_cast<std::uint8_t>(v[i]);
    return m;
}

std::array<std::uint8_t, 4> IpOf(const char* text)
{
    std::array<std::uint8_t, 4> a{};
    inet_pton(AF_INET, text, a.data());
    return a;
}

std::string MacText(const BYTE* bytes, UINT length)
{
    std::string text;
    char part[4];
    for (UINT i = 0; i < length; ++i) {
        std::snprintf(part, sizeof part, i ? ":%02x" : "%02x", bytes[i]);
        text += part;
    }
    return text.empty() ? "-" : text;
}

std::string DescribeAdapters(const IP_ADAPTER_INFO* record)
{
    std::string text;
    for (; record != nullptr; record = record->Next) {
        text += "adapter " + std::string(record->AdapterName) + " index " + std::to_string(record->Index) +
                " mac " + MacText(record->Address, record->AddressLength) + "\n";
        for (const IP_ADDR_STRING* a = &record->IpAddressList; a != nullptr; a = a->Next)
            text += "  ip " + std::string(a->IpAddress.String) + " " + a->IpMask.String + "\n";
        for (const IP_ADDR_STRING* g = &record->GatewayList; g != nullptr; g = g->Next)
            text += "  gateway " + std::string(g->IpAddress.String) + "\n";
    }
    return text;
}

Bytes ArpRequest(const Mac& mac, const char* ip, const char* target)
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

Bytes ArpReply(const Mac& mac, const char* ip, const Mac& askerMac, const char* askerIp, int hlen)
{
    Bytes f(askerMac.begin(), askerMac.end());
    f.insert(f.end(), mac.begin(), mac.end());
    f.insert(f.end(), {0x08, 0x06, 0x00, 0x01, 0x08, 0x00, static_cast<std::uint8_t>(hlen), 4, 0x00, 0x02});
    f.insert(f.end(), mac.begin(), mac.begin() + hlen);
    auto sip = IpOf(ip);
    f.insert(f.end(), sip.begin(), sip.end());
    f.insert(f.end(), askerMac.begin(), askerMac.begin() + hlen);
    auto tip = IpOf(askerIp);
    f.insert(f.end(), tip.begin(), tip.end());
    return f;
}

std::string SenderIp(const Bytes& f)
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

int ArpOp(const Bytes& f)
{
    return f.size() >= 22 ? (f[20] << 8 | f[21]) : -1;
}

std::string Hex(const Bytes& f)
{
    std::string text;
    char part[4];
    for (size_t i = 0; i < f.size(); ++i) {
        std::snprintf(part, sizeof part, i ? " %02x" : "%02x", f[i]);
        text += part;
    }
    return text;
}

std::vector<std::string> Hex(const std::vector<Bytes>& frames)
{
    std::vector<std::string> text;
    for (const auto& f : frames)
        text.push_back(Hex(f));
    return text;
}

RawArp::RawArp(const std::string& ifname)
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

RawArp::~RawArp()
{
    if (fd_ >= 0)
        close(fd_);
}

bool RawArp::Send(const Bytes& frame)
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

std::vector<Received> RawArp::Replies(std::chrono::milliseconds timeout,
                                      const std::function<bool(const std::vector<Received>&)>& done)
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

Listener::Listener(const std::string& netns, unsigned short port)
{
    m_thread = std::thread([this, netns, port] { Run(netns, port); });
    while (!m_started)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

Listener::~Listener()
{
    m_stop = true;
    m_thread.join();
}

void Listener::Run(const std::string& netns, unsigned short port)
{
    int s = -1;
    if (netns.empty() || EnterNetNamespace(netns)) {
        s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        int on = 1;
        setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        setsockopt(s, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_port = htons(port);
        if (s >= 0 && bind(s, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0)
            m_ready = true;
    }
    m_started = true;
    while (m_ready && !m_stop) {
        pollfd p{s, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0)
            continue;
        unsigned char buffer[2048];
        char control[256];
        iovec io{buffer, sizeof buffer};
        msghdr msg{};
        msg.msg_iov = &io;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = recvmsg(s, &msg, 0);
        if (n < 0)
            continue;
        Datagram d;
        d.bytes.assign(buffer, buffer + n);
        d.port = port;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info;
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                d.destination = inet_ntoa(info.ipi_addr);
            }
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_received.push_back(std::move(d));
    }
    if (s >= 0)
        close(s);
}

std::vector<Datagram> Listener::Received() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

bool Listener::WaitFor(std::size_t count, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_received.size() >= count)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received.size() >= count;
}

LinkCapture::LinkCapture(const std::string& netns, const std::string& ifname)
{
    m_thread = std::thread([this, netns, ifname] { Run(netns, ifname); });
    while (!m_started)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

LinkCapture::~LinkCapture()
{
    m_stop = true;
    m_thread.join();
}

void LinkCapture::Run(const std::string& netns, const std::string& ifname)
{
    int s = -1;
    if (EnterNetNamespace(netns)) {
        s = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, htons(ETH_P_IP));
        sockaddr_ll on{};
        on.sll_family = AF_PACKET;
        on.sll_protocol = htons(ETH_P_IP);
        on.sll_ifindex = static_cast<int>(if_nametoindex(ifname.c_str()));
        if (s >= 0 && on.sll_ifindex != 0 && bind(s, reinterpret_cast<sockaddr*>(&on), sizeof on) == 0)
            m_ready = true;
    }
    m_started = true;
    while (m_ready && !m_stop) {
        pollfd p{s, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0)
            continue;
        unsigned char frame[2048];
        const ssize_t n = recv(s, frame, sizeof frame, 0);
        // Ethernet, then IPv4 with its own header length, then UDP.
        if (n < 14 + 20 + 8 || frame[12] != 0x08 || frame[13] != 0x00 || frame[14 + 9] != IPPROTO_UDP)
            continue;
        const std::size_t ipHeader = (frame[14] & 0x0f) * 4u;
        const unsigned char* udp = frame + 14 + ipHeader;
        if (14 + ipHeader + 8 > static_cast<std::size_t>(n))
            continue;
        Udp d;
        in_addr a{};
        std::memcpy(&a, frame + 14 + 12, 4);
        d.source = inet_ntoa(a);
        std::memcpy(&a, frame + 14 + 16, 4);
        d.destination = inet_ntoa(a);
        d.port = static_cast<unsigned short>(udp[2] << 8 | udp[3]);
        d.length = static_cast<std::size_t>(udp[4] << 8 | udp[5]) - 8;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_seen.push_back(std::move(d));
    }
    if (s >= 0)
        close(s);
}

std::vector<LinkCapture::Udp> LinkCapture::Seen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_seen;
}

bool LinkCapture::WaitForPort(unsigned short port, std::chrono::milliseconds limit) const
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            for (const Udp& d : m_seen)
                if (d.port == port)
                    return true;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool SendMarker(const char* source, unsigned short port)
{
    const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return false;
    int on = 1;
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = inet_addr(source);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = INADDR_BROADCAST;
    to.sin_port = htons(port);
    const char marker = 'M';
    const bool sent = setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0 &&
                      bind(s, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0 &&
                      sendto(s, &marker, 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) == 1;
    close(s);
    return sent;
}

}  // namespace labtest
