#include "tests/app/lab_gate.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
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

int OpenDescriptorCount()
{
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.')
                ++count;
        closedir(dir);
        --count;  // the directory's own descriptor
    }
    return count;
}

}  // namespace apptest
