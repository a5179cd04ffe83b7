// The socket services the program is written against. On Windows they are
// the system's Winsock itself. On POSIX they are the BSD socket calls; there
// is no socket library to start or release, so a socket is closed with
// closesocket() (platform/net/linux).
#pragma once

#include "platform/base/afxstr.h"

#ifdef _WIN32

#include <winsock2.h>
#include <ws2tcpip.h>

#else

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdint>

using SOCKET = int;
enum : int { INVALID_SOCKET = -1, SOCKET_ERROR = -1 };

// No socket library to start or release: both succeed and do nothing.
using WORD = std::uint16_t;
struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
};
constexpr WORD MAKEWORD(BYTE low, BYTE high)
{
    return static_cast<WORD>(low | (high << 8));
}
int WSAStartup(WORD version, WSADATA* data);
int WSACleanup();

int closesocket(SOCKET s);
// The error of the last failed socket call on this thread.
int WSAGetLastError();
// The errors the program tells apart, under their Winsock names.
enum : int { WSAEADDRNOTAVAIL = EADDRNOTAVAIL };

#endif

// The system's description of a socket error.
CString SocketErrorText(int error);
