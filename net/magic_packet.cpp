#include "net/magic_packet.h"

void BuildMagicPacket(const BYTE (&octets)[6], BYTE (&packet)[MAGIC_PACKET_SEND_LEN])
{
    for (int i = 0; i < 6; ++i)
        packet[i] = 0xFF;
    for (int copy = 1; copy <= 16; ++copy)
        for (int i = 0; i < 6; ++i)
            packet[6 * copy + i] = octets[i];
}
