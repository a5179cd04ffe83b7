// Broadcasting the wake-up datagram.
#pragma once

#include "net/magic_packet.h"
#include "platform/net/iphlpapi.h"

// Sends the datagram once, UDP, to 255.255.255.255 port WAKE_PORT with
// broadcast permitted, from `source` (network byte order): the address of
// the adapter it must leave on. With 0 the system picks the way, which
// needs a default route. The socket is closed before this returns, on every
// path. FALSE when the datagram could not be handed to the system; `error`
// then holds the system's description of why. `port` is for `orvane wake
// --port`; the dialog always sends to WAKE_PORT.
BOOL BroadcastMagicPacket(const BYTE (&packet)[MAGIC_PACKET_SEND_LEN], IPAddr source, CString& error,
                          unsigned short port = WAKE_PORT);
