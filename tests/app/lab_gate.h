// Lab helpers for the dialog's tests: every test that may send runs only
// inside a lab client namespace, and listens for what the dialog sends.
#pragma once

#include "tools/labguard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace apptest {

// Skips the test unless this is a lab namespace; run as root by the lab
// script it always is. Use at the top of every test that can send.
#define REQUIRE_LAB()                                                            \
    do {                                                                         \
        const std::string labProblem = LabNamespaceProblem();                    \
        if (!labProblem.empty())                                                 \
            GTEST_SKIP() << "not inside a lab (" << labProblem << "); refusing"; \
    } while (0)

// Environment the lab script sets (empty when absent).
std::string LabEnv(const char* name);
std::vector<std::string> LabHosts();

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

// Open file descriptors of this process.
int OpenDescriptorCount();

}  // namespace apptest
