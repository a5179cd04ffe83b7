#include "platform/net/winsock.h"

#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <string>

int WSAStartup(WORD version, WSADATA* data)
{
    if (data != nullptr)
        *data = WSADATA{version, version};
    return 0;
}

int WSACleanup()
{
    return 0;
}

int closesocket(SOCKET s)
{
    return close(s);
}

int WSAGetLastError()
{
    return errno;
}

CString SocketErrorText(int error)
{
    // The thread-safe form; GNU strerror_r returns the text it chose.
    char buffer[256];
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return CString(std::string(text != nullptr ? text : ""));
}
