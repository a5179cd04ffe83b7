#include "tools/labguard.h"

#include "platform/net/linux/handles.h"

#include <dirent.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netpacket/packet.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// An ordinary user may not look at /proc/1/ns/net. Then the namespace counts
// as a lab only when it is one that orvane-lab registered.
bool IsRegisteredLabNamespace(const struct stat& self)
{
    const orvane::linux_handles::Dir dir(opendir("/run/netns"));
    if (!dir)
        return false;
    bool found = false;
    while (dirent* entry = readdir(dir.get())) {
        if (std::strncmp(entry->d_name, "orv", 3) != 0)
            continue;
        std::string path = std::string("/run/netns/") + entry->d_name;
        struct stat st {};
        if (stat(path.c_str(), &st) == 0 && SameFile(st, self)) {
            found = true;
            break;
        }
    }
    return found;
}

std::string MacText(const unsigned char* addr, int len)
{
    std::string text;
    char part[4];
    for (int i = 0; i < len; ++i) {
        std::snprintf(part, sizeof part, i ? ":%02x" : "%02x", addr[i]);
        text += part;
    }
    return text.empty() ? "none" : text;
}

}  // namespace

std::string NotInitialNamespaceProblem()
{
    struct stat self {};
    if (stat("/proc/thread-self/ns/net", &self) != 0)
        return std::string("cannot inspect this thread's network namespace: ") + std::strerror(errno);
    struct stat init {};
    if (stat("/proc/1/ns/net", &init) == 0) {
        if (SameFile(self, init))
            return "this is the machine's initial network namespace, not a lab";
        return {};
    }
    std::string why = std::strerror(errno);
    if (IsRegisteredLabNamespace(self))
        return {};
    return "not a lab network namespace (not one of orvane-lab's in /run/netns, and "
           "/proc/1/ns/net cannot be compared: " +
           why + ")";
}

std::string LabNamespaceProblem()
{
    std::string problem = NotInitialNamespaceProblem();
    if (!problem.empty())
        return problem;

    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return std::string("cannot list interfaces: ") + std::strerror(errno);
    for (ifaddrs* ifa = list; ifa != nullptr && problem.empty(); ifa = ifa->ifa_next) {
        if (ifa->ifa_addr == nullptr || ifa->ifa_addr->sa_family != AF_PACKET)
            continue;
        const auto* ll = reinterpret_cast<const sockaddr_ll*>(ifa->ifa_addr);
        if ((ifa->ifa_flags & IFF_LOOPBACK) != 0 || ll->sll_hatype == ARPHRD_LOOPBACK)
            continue;
        bool lab = ll->sll_halen == 6 && std::memcmp(ll->sll_addr, kLabMacPrefix, sizeof kLabMacPrefix) == 0;
        if (!lab)
            problem = std::string("interface ") + ifa->ifa_name + " has MAC " +
                      MacText(ll->sll_addr, ll->sll_halen) +
                      ", not the lab prefix 02:4f:52 (not an orvane-lab namespace)";
    }
    freeifaddrs(list);
    return problem;
}

void RequireLabNamespace(const char* who)
{
    std::string problem = LabNamespaceProblem();
    if (problem.empty())
        return;
    std::fprintf(stderr, "%s: refusing to run: %s\n", who, problem.c_str());
    std::fflush(stderr);
    std::exit(3);
}

bool EnterNetNamespace(const std::string& name)
{
    std::string path = name.find('/') == std::string::npos ? "/run/netns/" + name : name;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int rc = setns(fd, CLONE_NEWNET);
    int saved = errno;
    close(fd);
    errno = saved;
    return rc == 0;
}
