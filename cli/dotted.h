// The dotted text of an address, for the commands' lines and messages.
#pragma once

#include "platform/net/winsock.h"

#include <string>

inline std::string Dotted(IPAddr ip)
{
    in_addr a{};
    a.s_addr = ip;
    return inet_ntoa(a);
}
