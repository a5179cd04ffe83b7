// One owner each for the Linux handles the network services and their lab
// tools hold: a descriptor, a libmnl socket, a libcap state, a directory
// stream. Each is closed once, by its owner's end.
#pragma once

#include <dirent.h>
#include <libmnl/libmnl.h>
#include <sys/capability.h>
#include <unistd.h>

#include <memory>
#include <utility>

namespace orvane::linux_handles {

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ~Fd()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

struct MnlSocketClose {
    void operator()(mnl_socket* socket) const { mnl_socket_close(socket); }
};
using MnlSocket = std::unique_ptr<mnl_socket, MnlSocketClose>;

struct CapFree {
    void operator()(_cap_struct* caps) const { cap_free(caps); }
};
using Caps = std::unique_ptr<_cap_struct, CapFree>;

struct DirClose {
    void operator()(DIR* dir) const { closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirClose>;

}  // namespace orvane::linux_handles
