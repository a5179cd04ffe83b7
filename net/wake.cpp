#include "net/wake.h"

#include "platform/net/winsock.h"

BOOL BroadcastMagicPacket(const BYTE (&packet)[MAGIC_PACKET_SEND_LEN], IPAddr source, CString& error,
                          unsigned short port)
{
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_addr.s_addr = inet_addr("255.255.255.255");
    destination.sin_port = htons(port);

    // The socket library lives for this one datagram.
    WSADATA wsaData;
    WSAStartup(MAKEWORD(2, 2), &wsaData);
    SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET) {
        error = SocketErrorText(WSAGetLastError());
        WSACleanup();
        return FALSE;
    }

    int failure = 0;
    CString shortSend;
    int broadcast = 1;
    // Bound to the adapter's own address, the limited broadcast leaves on
    // that adapter alone, even where no default route exists (an isolated
    // LAN, or a link that just came back up): the kernel routes it out of the
    // device holding the source address. It needs no privilege, unlike
    // SO_BINDTODEVICE on older kernels, and one call does it for the whole
    // socket, where IP_PKTINFO would go with every send; Windows sockets
    // choose the interface the same way.
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = source;
    if (setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&broadcast),
                   sizeof broadcast) == SOCKET_ERROR ||
        (source != 0 && bind(s, reinterpret_cast<const sockaddr*>(&from), sizeof from) == SOCKET_ERROR)) {
        failure = WSAGetLastError();
    } else {
        const auto sent = sendto(s, reinterpret_cast<const char*>(packet), MAGIC_PACKET_SEND_LEN, 0,
                                 reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
        if (sent == SOCKET_ERROR)
            failure = WSAGetLastError();
        else if (sent != MAGIC_PACKET_SEND_LEN)
            shortSend.Format("%d of %d bytes sent", static_cast<int>(sent), MAGIC_PACKET_SEND_LEN);
    }
    closesocket(s);
    WSACleanup();

    if (failure != 0) {
        error = SocketErrorText(failure);
        return FALSE;
    }
    if (!shortSend.IsEmpty()) {
        error = shortSend;
        return FALSE;
    }
    return TRUE;
}
