#include "platform/net/arp_frame.h"

#include <cstring>

namespace orvane::arp {
namespace {

void Put16(std::uint8_t* at, std::uint16_t value)
{
    at[0] = static_cast<std::uint8_t>(value >> 8);
    at[1] = static_cast<std::uint8_t>(value);
}

std::uint16_t Get16(const std::uint8_t* at)
{
    return static_cast<std::uint16_t>(at[0] << 8 | at[1]);
}

// IPAddr values are already in network order: copy their bytes as they lie.
void PutAddr(std::uint8_t* at, IPAddr value)
{
    std::memcpy(at, &value, 4);
}

IPAddr GetAddr(const std::uint8_t* at)
{
    IPAddr value;
    std::memcpy(&value, at, 4);
    return value;
}

bool OursOrBroadcast(const std::uint8_t* at, const HardwareAddress& ours)
{
    static constexpr std::uint8_t kBroadcast[6] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    return std::memcmp(at, ours.data(), 6) == 0 || std::memcmp(at, kBroadcast, 6) == 0;
}

}  // namespace

bool NamesAStation(const HardwareAddress& mac)
{
    return (mac[0] & 0x01) == 0 && mac != HardwareAddress{};
}

std::array<std::uint8_t, kFrameLength> BuildRequest(const HardwareAddress& senderMac, IPAddr senderIp,
                                                    IPAddr target)
{
    std::array<std::uint8_t, kFrameLength> frame{};
    std::uint8_t* eth = frame.data();
    std::memset(eth, 0xff, 6);  // broadcast
    std::memcpy(eth + 6, senderMac.data(), 6);
    Put16(eth + 12, kEtherTypeArp);

    std::uint8_t* arp = eth + kEthernetHeaderLength;
    Put16(arp + 0, 1);  // hardware type Ethernet
    Put16(arp + 2, kEtherTypeIpv4);
    arp[4] = 6;
    arp[5] = 4;
    Put16(arp + 6, kOpRequest);
    std::memcpy(arp + 8, senderMac.data(), 6);
    PutAddr(arp + 14, senderIp);
    // arp + 18: target hardware address, unknown, left zero
    PutAddr(arp + 24, target);
    return frame;
}

std::optional<HardwareAddress> ParseReply(const std::uint8_t* frame, std::size_t length, IPAddr asked,
                                          IPAddr ourIp, const HardwareAddress& ourMac)
{
    if (frame == nullptr || length < kFrameLength)
        return std::nullopt;
    if (!OursOrBroadcast(frame, ourMac))
        return std::nullopt;
    if (Get16(frame + 12) != kEtherTypeArp)
        return std::nullopt;
    const std::uint8_t* arp = frame + kEthernetHeaderLength;
    if (Get16(arp + 0) != 1 || Get16(arp + 2) != kEtherTypeIpv4 || arp[4] != 6 || arp[5] != 4)
        return std::nullopt;
    if (Get16(arp + 6) != kOpReply)
        return std::nullopt;
    // The target hardware field is not judged, as the kernel does not: some
    // devices answer with it zero or with the broadcast address.
    if (GetAddr(arp + 14) != asked || GetAddr(arp + 24) != ourIp)
        return std::nullopt;
    HardwareAddress sender;
    std::memcpy(sender.data(), arp + 8, 6);
    // No station owns a group or all-zero address: such a "reply" names nobody.
    if (!NamesAStation(sender))
        return std::nullopt;
    return sender;
}

}  // namespace orvane::arp
