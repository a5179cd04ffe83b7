// The rtnetlink messages the adapter query and the resolver exchange with
// the kernel: requests built into caller buffers, replies and events read
// from byte buffers. Pure: no socket here.
#pragma once

#include "platform/net/arp_frame.h"
#include "platform/net/iphlpapi.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

struct nlmsghdr;

namespace orvane::nl {

// A receive buffer this size holds any chunk of a kernel dump whole (the
// kernel fills at most 32 KiB per dump message batch).
inline constexpr std::size_t kDumpChunkSize = 32768;

// One IPv4 route, one entry per next hop (a multipath route gives several).
struct RouteEntry {
    std::uint8_t dstLength = 0;  // prefix length; 0 = default route
    std::uint8_t type = 0;       // RTN_*
    std::uint32_t table = 0;     // RTA_TABLE when present, else rtm_table
    IPAddr dst = 0;              // network byte order
    IPAddr gateway = 0;          // 0 = none (on-link)
    std::uint32_t oif = 0;       // interface index
    std::uint32_t metric = 0;    // RTA_PRIORITY, 0 when absent
};

struct NeighbourEntry {
    std::uint32_t ifindex = 0;
    std::uint16_t state = 0;  // NUD_* bit mask
    std::uint8_t flags = 0;   // NTF_*
    IPAddr dst = 0;
    bool hasDst = false;
    std::uint8_t lladdrLength = 0;
    std::array<std::uint8_t, 8> lladdr{};
};

// A default route of the main table, as the adapter ordering and the
// gateway lists need it.
struct DefaultRoute {
    std::uint32_t oif = 0;
    IPAddr gateway = 0;  // 0 for a route straight out of a device
    std::uint32_t metric = 0;
};

// Request builders. Return the message length, 0 when `size` is too small.
// The neighbour dump asks only for the given interface's entries.
std::size_t BuildRouteDumpRequest(void* buffer, std::size_t size, std::uint32_t seq);
std::size_t BuildNeighbourDumpRequest(void* buffer, std::size_t size, std::uint32_t seq,
                                      std::uint32_t ifindex);

// Appends the IPv4 routes that one RTM_NEWROUTE message describes; other
// messages append nothing. False when the message is malformed.
bool ParseRouteMessage(const nlmsghdr* message, std::vector<RouteEntry>& out);

// The IPv4 neighbour entry of one RTM_NEWNEIGH message; nothing for any
// other message or family, or when malformed.
std::optional<NeighbourEntry> ParseNeighbourMessage(const nlmsghdr* message);

// The entry holds a hardware address the kernel stands behind: one of 6
// bytes in any state but INCOMPLETE, FAILED or none at all. ndm_state is a
// bit mask, so states are tested bit by bit.
bool HasUsableHardwareAddress(const NeighbourEntry& entry);

// The station address the entry holds for `ip` on interface `ifindex`: a
// usable one that names a station (a static entry may hold a group or
// all-zero address).
std::optional<arp::HardwareAddress> StationAddressFor(const NeighbourEntry& entry, IPAddr ip,
                                                      std::uint32_t ifindex);

// Default unicast routes of the main table, lowest metric first (ties keep
// the kernel's order).
std::vector<DefaultRoute> MainDefaultRoutes(const std::vector<RouteEntry>& routes);

// Outcome of reading one received chunk of a dump (or event stream).
enum class ChunkResult { More, Done, Failed };

// Runs the messages of `buffer` through the route or neighbour parser.
// `seq`/`portid` 0 accept any. Done at NLMSG_DONE, Failed at an error reply
// (errno set from it) or a malformed message.
ChunkResult ReadRouteChunk(const void* buffer, std::size_t length, std::uint32_t seq, std::uint32_t portid,
                           std::vector<RouteEntry>& out);
ChunkResult ReadNeighbourChunk(const void* buffer, std::size_t length, std::uint32_t seq,
                               std::uint32_t portid, std::vector<NeighbourEntry>& out);

}  // namespace orvane::nl
