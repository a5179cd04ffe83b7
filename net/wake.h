// Broadcasting the wake-up datagram.
#pragma once

#include "net/magic_packet.h"

// Sends the datagram once, UDP, to 255.255.255.255 port WAKE_PORT with
// broadcast permitted. The socket is closed before this returns, on every
// path. FALSE when the datagram could not be handed to the system; `error`
// then holds the system's description of why.
BOOL BroadcastMagicPacket(const BYTE (&packet)[MAGIC_PACKET_SEND_LEN], CString& error);
