// The Wake-on-LAN datagram.
#pragma once

#include "platform/base/afxstr.h"

// Bytes 0-101 are the usual magic packet; the datagram is sent 108 bytes
// long and the last six are left zero.
constexpr int MAGIC_PACKET_SEND_LEN = 108;
// Our receivers listen on 5050, not on the customary 7 or 9.
constexpr unsigned short WAKE_PORT = 5050;

// Six 0xFF bytes, then the address sixteen times (bytes 0-101). The caller's
// buffer starts zeroed, so bytes 102-107 stay zero.
void BuildMagicPacket(const BYTE (&octets)[6], BYTE (&packet)[MAGIC_PACKET_SEND_LEN]);
