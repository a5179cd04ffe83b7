#include "platform/net/winsock.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace {

TEST(Winsock, CloseSocketClosesAndReportsFailureLikeTheSocketCalls)
{
    const SOCKET s = socket(AF_UNIX, SOCK_DGRAM, 0);
    ASSERT_NE(s, INVALID_SOCKET);
    EXPECT_EQ(closesocket(s), 0);
    EXPECT_EQ(fcntl(s, F_GETFD), -1) << "still open";
    EXPECT_EQ(closesocket(s), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), EBADF);
}

TEST(Winsock, LastErrorIsThisThreadsErrno)
{
    errno = EACCES;
    EXPECT_EQ(WSAGetLastError(), EACCES);
}

TEST(Winsock, ErrorTextIsTheSystemsDescription)
{
    EXPECT_EQ(SocketErrorText(EACCES).Bytes(), std::string(std::strerror(EACCES)));
    EXPECT_EQ(SocketErrorText(ENETUNREACH).Bytes(), std::string(std::strerror(ENETUNREACH)));
    EXPECT_FALSE(SocketErrorText(99999).IsEmpty());
}

}  // namespace
