// The Ethernet ARP frames the privileged resolver sends and accepts.
// Pure byte work: no socket here, so every rule is testable offline.
#pragma once

#include "platform/net/iphlpapi.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace orvane::arp {

using HardwareAddress = std::array<std::uint8_t, 6>;

// Ethernet header (14) + ARP for IPv4 over Ethernet (28). Frames on the
// wire may be longer (padding to the 60-byte minimum); never shorter.
inline constexpr std::size_t kEthernetHeaderLength = 14;
inline constexpr std::size_t kArpPayloadLength = 28;
inline constexpr std::size_t kFrameLength = kEthernetHeaderLength + kArpPayloadLength;

inline constexpr std::uint16_t kEtherTypeArp = 0x0806;
inline constexpr std::uint16_t kEtherTypeIpv4 = 0x0800;
inline constexpr std::uint16_t kOpRequest = 1;
inline constexpr std::uint16_t kOpReply = 2;

// A broadcast who-has request for `target` from `senderMac`/`senderIp`.
// Addresses are in network byte order; the target hardware field is zero.
std::array<std::uint8_t, kFrameLength> BuildRequest(const HardwareAddress& senderMac, IPAddr senderIp,
                                                    IPAddr target);

// True for an address a station can own: not a group (multicast or
// broadcast) address and not all zeros. The one rule both ARP paths judge
// an answer's hardware address by.
bool NamesAStation(const HardwareAddress& mac);

// The answer a received frame carries for a request we (`ourMac`, `ourIp`)
// sent for `asked`: the replier's hardware address, or nothing when the
// frame is not exactly such a reply (wrong type, opcode, sizes, sender, a
// sender address that names no station, or cut short) or is not addressed
// to us: its Ethernet destination must be ours or the broadcast address and
// its target IP ours. Like the kernel's own ARP it ignores the target
// hardware address. Checking the sender address is what keeps a late reply
// for an earlier probe of another address from answering this one.
std::optional<HardwareAddress> ParseReply(const std::uint8_t* frame, std::size_t length, IPAddr asked,
                                          IPAddr ourIp, const HardwareAddress& ourMac);

}  // namespace orvane::arp
