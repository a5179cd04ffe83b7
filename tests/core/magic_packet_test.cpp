#include "net/magic_packet.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(MagicPacket, LayoutIsByteExact)
{
    const BYTE mac[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    BYTE packet[MAGIC_PACKET_SEND_LEN] = {};
    BuildMagicPacket(mac, packet);

    std::vector<BYTE> expected(6, 0xFF);
    for (int copy = 0; copy < 16; ++copy)
        expected.insert(expected.end(), mac, mac + 6);
    expected.resize(108, 0x00);  // bytes 102-107 stay zero

    ASSERT_EQ(MAGIC_PACKET_SEND_LEN, 108);
    EXPECT_EQ(std::vector<BYTE>(packet, packet + MAGIC_PACKET_SEND_LEN), expected);
    EXPECT_EQ(WAKE_PORT, 5050);
}

TEST(MagicPacket, WritesOnlyTheFirst102Bytes)
{
    const BYTE mac[6] = {0xFF, 0xFE, 0x01, 0x80, 0x7F, 0x00};
    BYTE packet[MAGIC_PACKET_SEND_LEN];
    for (BYTE& b : packet)
        b = 0xA5;
    BuildMagicPacket(mac, packet);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(packet[i], 0xFF);
    for (int i = 6; i < 102; ++i)
        EXPECT_EQ(packet[i], mac[(i - 6) % 6]) << "byte " << i;
    for (int i = 102; i < 108; ++i)
        EXPECT_EQ(packet[i], 0xA5) << "byte " << i << " belongs to the caller";
}

}  // namespace
