// Broadcasting the wake-up datagram.
#pragma once

#include "net/magic_packet.h"
#include "platform/net/iphlpapi.h"

// Sends the datagram once, UDP, to 255.255.255.255 port WAKE_PORT with
// broadcast permitted, from `source` (network byte order): the address of
// the adapter it must leave on. With 0, or when the system no longer holds
// `source` (the bind fails with WSAEADDRNOTAVAIL), it goes unbound and the
// system picks the way, which needs a default route. The socket is closed
// before this returns, on every path. FALSE when the datagram could not be
// handed to the system; `error` then holds the system's description of why.
// `port` is for `orvane wake --port`; the dialog always sends to WAKE_PORT.
// `sourceOnly` (an adapter the user named) allows no other way out: without
// `source`, or when it is gone, nothing is sent and FALSE is returned.
BOOL BroadcastMagicPacket(const BYTE (&packet)[MAGIC_PACKET_SEND_LEN], IPAddr source, CString& error,
                          unsigned short port = WAKE_PORT, bool sourceOnly = false);

// The IPv4 address the adapter with interface index `index` holds now, read
// afresh from the system: `preferred` while the adapter still holds it,
// otherwise its first address; 0 when there is no such adapter (or `index`
// is 0) or it holds no IPv4 address.
IPAddr CurrentAdapterAddress(DWORD index, IPAddr preferred);

// Wake from the adapter with interface index `index`, which showed
// `shownAddress` when it was read: the datagram leaves from the address the
// adapter holds now, so a lease renewed or a network changed since does not
// stop it; with none, through the system's route.
BOOL WakeFromAdapter(const BYTE (&packet)[MAGIC_PACKET_SEND_LEN], DWORD index, IPAddr shownAddress,
                     CString& error);
