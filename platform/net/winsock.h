// The socket services the program is written against. On POSIX they are
// the BSD socket calls themselves; there is no socket library to start or
// release, so a socket is closed with closesocket().
#pragma once

#include "platform/base/afxstr.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

using SOCKET = int;
enum : int { INVALID_SOCKET = -1, SOCKET_ERROR = -1 };

int closesocket(SOCKET s);
// The error of the last failed socket call on this thread, and the
// system's description of an error.
int WSAGetLastError();
CString SocketErrorText(int error);
