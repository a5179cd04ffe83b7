#include "net/wake.h"

#include "net/local_adapter_pick.h"

#include "platform/net/winsock.h"

#include <vector>

BOOL BroadcastMagicPacket(const BYTE (&packet)[MAGIC_PACKET_SEND_LEN], IPAddr source, CString& error,
                          unsigned short port, bool sourceOnly)
{
    if (sourceOnly && source == 0) {
        error = "the adapter holds no IPv4 address to send from";
        return FALSE;
    }
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
    // An address that went away (a renewed lease) leaves the socket unbound:
    // the system's route is still a way out.
    if (setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&broadcast),
                   sizeof broadcast) == SOCKET_ERROR ||
        (source != 0 && bind(s, reinterpret_cast<const sockaddr*>(&from), sizeof from) == SOCKET_ERROR &&
         (sourceOnly || WSAGetLastError() != WSAEADDRNOTAVAIL))) {
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

IPAddr CurrentAdapterAddress(DWORD index, IPAddr preferred)
{
    if (index == 0)
        return 0;
    const std::vector<BYTE> buffer = ReadAdapterRecords();
    if (buffer.empty())
        return 0;
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data()); adapter != nullptr;
         adapter = adapter->Next) {
        if (adapter->Index != index)
            continue;
        IPAddr first = 0;
        for (const IP_ADDR_STRING* entry = &adapter->IpAddressList; entry != nullptr; entry = entry->Next) {
            const IPAddr address = inet_addr(entry->IpAddress.String);
            if (address == 0 || address == INADDR_NONE)
                continue;
            if (address == preferred)
                return address;
            if (first == 0)
                first = address;
        }
        return first;
    }
    return 0;
}

BOOL WakeFromAdapter(const BYTE (&packet)[MAGIC_PACKET_SEND_LEN], DWORD index, IPAddr shownAddress,
                     CString& error)
{
    return BroadcastMagicPacket(packet, CurrentAdapterAddress(index, shownAddress), error);
}
