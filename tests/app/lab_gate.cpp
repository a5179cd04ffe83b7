#include "tests/app/lab_gate.h"

#include "platform/net/linux/handles.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <linux/if_ether.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netpacket/packet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

namespace apptest {

std::string LabEnv(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::vector<std::string> LabHosts()
{
    std::istringstream in(LabEnv("ORVANE_LAB_HOSTS"));
    std::vector<std::string> hosts;
    for (std::string word; in >> word;)
        hosts.push_back(word);
    return hosts;
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

}  // namespace apptest
