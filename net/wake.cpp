#include "net/wake.h"

#include "platform/net/winsock.h"

BOOL BroadcastMagicPacket(const BYTE (&packet)[MAGIC_PACKET_SEND_LEN], CString& error)
{
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_addr.s_addr = inet_addr("255.255.255.255");
    destination.sin_port = htons(WAKE_PORT);

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
    if (setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&broadcast),
                   sizeof broadcast) == SOCKET_ERROR) {
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
