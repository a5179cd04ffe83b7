#include "platform/net/linux/netlink_parse.h"

#include <libmnl/libmnl.h>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace orvane::nl {
namespace {

template <int N> struct Attributes {
    const nlattr* at[N + 1] = {};
};

// Walks the attributes in bytes [at, at + length): every length is checked
// against what is left before the attribute is used (libmnl compares them as
// signed ints). Keeps the last attribute of each known type. False when an
// attribute does not fit.
template <int N> bool ReadAttributes(const std::uint8_t* at, std::size_t length, Attributes<N>& table)
{
    while (length >= sizeof(nlattr)) {
        nlattr header;
        std::memcpy(&header, at, sizeof header);
        if (header.nla_len < sizeof(nlattr) || header.nla_len > length)
            return false;
        const int type = header.nla_type & NLA_TYPE_MASK;
        if (type <= N)
            table.at[type] = reinterpret_cast<const nlattr*>(at);
        const std::size_t step = std::min<std::size_t>(NLA_ALIGN(header.nla_len), length);
        at += step;
        length -= step;
    }
    return true;
}

// The attributes after a message's fixed header of `extra` bytes; the
// message's own length was checked against the buffer by the message walk.
template <int N> bool ReadAttributes(const nlmsghdr* message, std::size_t extra, Attributes<N>& table)
{
    const std::size_t start = NLMSG_HDRLEN + NLMSG_ALIGN(extra);
    if (message->nlmsg_len <= start)
        return true;
    return ReadAttributes(reinterpret_cast<const std::uint8_t*>(message) + start, message->nlmsg_len - start,
                          table);
}

bool U32(const nlattr* attribute, std::uint32_t& value)
{
    if (attribute == nullptr)
        return true;
    if (mnl_attr_get_payload_len(attribute) < sizeof(std::uint32_t))
        return false;
    value = mnl_attr_get_u32(attribute);
    return true;
}

bool Ipv4(const nlattr* attribute, IPAddr& value)
{
    if (attribute == nullptr)
        return true;
    if (mnl_attr_get_payload_len(attribute) != 4)
        return false;
    std::memcpy(&value, mnl_attr_get_payload(attribute), 4);
    return true;
}

// Each next hop of RTA_MULTIPATH: an rtnexthop header, then its own
// attributes (RTA_GATEWAY among them).
bool AppendNextHops(const nlattr* multipath, const RouteEntry& base, std::vector<RouteEntry>& out)
{
    const auto* bytes = static_cast<const std::uint8_t*>(mnl_attr_get_payload(multipath));
    std::size_t left = mnl_attr_get_payload_len(multipath);
    while (left >= sizeof(rtnexthop)) {
        rtnexthop hop;
        std::memcpy(&hop, bytes, sizeof hop);
        if (hop.rtnh_len < sizeof(rtnexthop) || hop.rtnh_len > left)
            return false;
        RouteEntry entry = base;
        entry.oif = static_cast<std::uint32_t>(hop.rtnh_ifindex);
        entry.gateway = 0;
        Attributes<RTA_MAX> nested;
        const std::size_t header = RTNH_ALIGN(sizeof(rtnexthop));
        if (hop.rtnh_len > header && !ReadAttributes(bytes + header, hop.rtnh_len - header, nested))
            return false;
        if (!Ipv4(nested.at[RTA_GATEWAY], entry.gateway))
            return false;
        out.push_back(entry);
        const std::size_t step = std::min<std::size_t>(RTNH_ALIGN(hop.rtnh_len), left);
        bytes += step;
        left -= step;
    }
    return true;
}

bool OnRouteMessage(const nlmsghdr* message, void* data)
{
    return ParseRouteMessage(message, *static_cast<std::vector<RouteEntry>*>(data));
}

bool OnNeighbourMessage(const nlmsghdr* message, void* data)
{
    if (message->nlmsg_type != RTM_NEWNEIGH)
        return true;
    auto entry = ParseNeighbourMessage(message);
    if (entry)
        static_cast<std::vector<NeighbourEntry>*>(data)->push_back(*entry);
    return true;
}

ChunkResult Fail(int error)
{
    errno = error;
    return ChunkResult::Failed;
}

// The message walk of a received chunk, as libmnl's callback runner does it,
// but with every length checked (unsigned) against the bytes received: a
// length field such as 0x80000010 is malformed, not a negative number.
ChunkResult WalkChunk(const void* buffer, std::size_t length, std::uint32_t seq, std::uint32_t portid,
                      bool (*onMessage)(const nlmsghdr*, void*), void* data)
{
    const auto* at = static_cast<const std::uint8_t*>(buffer);
    while (length > 0) {
        if (length < sizeof(nlmsghdr))
            return Fail(EBADMSG);
        const auto* message = reinterpret_cast<const nlmsghdr*>(at);
        if (message->nlmsg_len < sizeof(nlmsghdr) || message->nlmsg_len > length)
            return Fail(EBADMSG);
        if (message->nlmsg_flags & NLM_F_DUMP_INTR)
            return Fail(EINTR);
        if (portid != 0 && message->nlmsg_pid != 0 && message->nlmsg_pid != portid)
            return Fail(ESRCH);
        if (seq != 0 && message->nlmsg_seq != 0 && message->nlmsg_seq != seq)
            return Fail(EPROTO);
        switch (message->nlmsg_type) {
            case NLMSG_NOOP:
            case NLMSG_OVERRUN:
                break;
            case NLMSG_DONE:
                return ChunkResult::Done;
            case NLMSG_ERROR: {
                if (message->nlmsg_len < NLMSG_HDRLEN + sizeof(nlmsgerr))
                    return Fail(EBADMSG);
                nlmsgerr error;
                std::memcpy(&error, at + NLMSG_HDRLEN, sizeof error);
                if (error.error == 0)
                    return ChunkResult::Done;  // an acknowledgement
                // The kernel sends a small negative errno; any other value
                // (INT_MIN cannot even be negated) names no error we know.
                const long code = error.error < 0 ? -static_cast<long>(error.error) : error.error;
                return Fail(code < 4096 ? static_cast<int>(code) : EPROTO);
            }
            default:
                if (message->nlmsg_type >= NLMSG_MIN_TYPE && !onMessage(message, data))
                    return Fail(EBADMSG);
                break;
        }
        const std::size_t step = std::min<std::size_t>(NLMSG_ALIGN(message->nlmsg_len), length);
        at += step;
        length -= step;
    }
    return ChunkResult::More;
}

}  // namespace

std::size_t BuildRouteDumpRequest(void* buffer, std::size_t size, std::uint32_t seq)
{
    if (size < MNL_ALIGN(sizeof(nlmsghdr)) + MNL_ALIGN(sizeof(rtmsg)))
        return 0;
    nlmsghdr* message = mnl_nlmsg_put_header(buffer);
    message->nlmsg_type = RTM_GETROUTE;
    message->nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    message->nlmsg_seq = seq;
    auto* route = static_cast<rtmsg*>(mnl_nlmsg_put_extra_header(message, sizeof(rtmsg)));
    route->rtm_family = AF_INET;
    return message->nlmsg_len;
}

std::size_t BuildNeighbourDumpRequest(void* buffer, std::size_t size, std::uint32_t seq,
                                      std::uint32_t ifindex)
{
    if (size <
        MNL_ALIGN(sizeof(nlmsghdr)) + MNL_ALIGN(sizeof(ndmsg)) + MNL_ATTR_HDRLEN + sizeof(std::uint32_t))
        return 0;
    nlmsghdr* message = mnl_nlmsg_put_header(buffer);
    message->nlmsg_type = RTM_GETNEIGH;
    message->nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    message->nlmsg_seq = seq;
    auto* neighbour = static_cast<ndmsg*>(mnl_nlmsg_put_extra_header(message, sizeof(ndmsg)));
    neighbour->ndm_family = AF_INET;
    // The kernel filters a dump by this attribute (strict checking or not);
    // the header's own ndm_ifindex must stay 0 under strict checking.
    mnl_attr_put_u32(message, NDA_IFINDEX, ifindex);
    return message->nlmsg_len;
}

bool ParseRouteMessage(const nlmsghdr* message, std::vector<RouteEntry>& out)
{
    if (message->nlmsg_type != RTM_NEWROUTE)
        return true;
    if (message->nlmsg_len < NLMSG_HDRLEN + sizeof(rtmsg))
        return false;
    rtmsg header;
    std::memcpy(&header, mnl_nlmsg_get_payload(message), sizeof header);
    if (header.rtm_family != AF_INET)
        return true;

    Attributes<RTA_MAX> attributes;
    if (!ReadAttributes(message, sizeof(rtmsg), attributes))
        return false;

    RouteEntry entry;
    entry.dstLength = header.rtm_dst_len;
    entry.type = header.rtm_type;
    entry.table = header.rtm_table;
    if (!U32(attributes.at[RTA_TABLE], entry.table) || !Ipv4(attributes.at[RTA_DST], entry.dst) ||
        !Ipv4(attributes.at[RTA_GATEWAY], entry.gateway) || !U32(attributes.at[RTA_OIF], entry.oif) ||
        !U32(attributes.at[RTA_PRIORITY], entry.metric))
        return false;
    if (attributes.at[RTA_MULTIPATH] != nullptr)
        return AppendNextHops(attributes.at[RTA_MULTIPATH], entry, out);
    out.push_back(entry);
    return true;
}

std::optional<NeighbourEntry> ParseNeighbourMessage(const nlmsghdr* message)
{
    if (message->nlmsg_type != RTM_NEWNEIGH || message->nlmsg_len < NLMSG_HDRLEN + sizeof(ndmsg))
        return std::nullopt;
    ndmsg header;
    std::memcpy(&header, mnl_nlmsg_get_payload(message), sizeof header);
    if (header.ndm_family != AF_INET)
        return std::nullopt;

    Attributes<NDA_MAX> attributes;
    if (!ReadAttributes(message, sizeof(ndmsg), attributes))
        return std::nullopt;

    NeighbourEntry entry;
    entry.ifindex = static_cast<std::uint32_t>(header.ndm_ifindex);
    entry.state = header.ndm_state;
    entry.flags = header.ndm_flags;
    if (const nlattr* dst = attributes.at[NDA_DST]) {
        if (!Ipv4(dst, entry.dst))
            return std::nullopt;
        entry.hasDst = true;
    }
    if (const nlattr* lladdr = attributes.at[NDA_LLADDR]) {
        const std::size_t length = mnl_attr_get_payload_len(lladdr);
        if (length > entry.lladdr.size())
            return std::nullopt;
        entry.lladdrLength = static_cast<std::uint8_t>(length);
        std::memcpy(entry.lladdr.data(), mnl_attr_get_payload(lladdr), length);
    }
    return entry;
}

bool HasUsableHardwareAddress(const NeighbourEntry& entry)
{
    if (entry.lladdrLength != 6)
        return false;
    if (entry.state & (NUD_INCOMPLETE | NUD_FAILED))
        return false;
    return (entry.state & (NUD_REACHABLE | NUD_STALE | NUD_DELAY | NUD_PROBE | NUD_PERMANENT | NUD_NOARP)) !=
           0;
}

std::optional<arp::HardwareAddress> StationAddressFor(const NeighbourEntry& entry, IPAddr ip,
                                                      std::uint32_t ifindex)
{
    if (!entry.hasDst || entry.dst != ip || entry.ifindex != ifindex || !HasUsableHardwareAddress(entry))
        return std::nullopt;
    arp::HardwareAddress mac;
    std::copy_n(entry.lladdr.begin(), mac.size(), mac.begin());
    if (!arp::NamesAStation(mac))
        return std::nullopt;
    return mac;
}

std::vector<DefaultRoute> MainDefaultRoutes(const std::vector<RouteEntry>& routes)
{
    std::vector<DefaultRoute> defaults;
    for (const RouteEntry& route : routes) {
        if (route.dstLength == 0 && route.type == RTN_UNICAST && route.table == RT_TABLE_MAIN &&
            route.oif != 0)
            defaults.push_back({route.oif, route.gateway, route.metric});
    }
    std::stable_sort(defaults.begin(), defaults.end(),
                     [](const DefaultRoute& a, const DefaultRoute& b) { return a.metric < b.metric; });
    return defaults;
}

ChunkResult ReadRouteChunk(const void* buffer, std::size_t length, std::uint32_t seq, std::uint32_t portid,
                           std::vector<RouteEntry>& out)
{
    return WalkChunk(buffer, length, seq, portid, OnRouteMessage, &out);
}

ChunkResult ReadNeighbourChunk(const void* buffer, std::size_t length, std::uint32_t seq,
                               std::uint32_t portid, std::vector<NeighbourEntry>& out)
{
    return WalkChunk(buffer, length, seq, portid, OnNeighbourMessage, &out);
}

}  // namespace orvane::nl
