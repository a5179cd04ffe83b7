// The adapter and ARP services the program is written against. On Windows
// they are the system's IP Helper itself; elsewhere these declarations, of
// the same shapes and result codes, provided over Linux (getifaddrs,
// rtnetlink, AF_PACKET: platform/net/linux).
#pragma once

#include "platform/base/wintypes.h"

#ifdef _WIN32

#include <winsock2.h>
// winsock2.h first: iphlpapi.h needs its types, and ws2ipdef.h's for the
// route and interface tables (netioapi.h).
#include <ws2ipdef.h>
// Not sorted with the above.
#include <iphlpapi.h>

// The system's records in the order the program lists adapters in on every
// system (platform/net/windows/adapters_windows.cpp); the name stands for it
// as the system's own headers map a name to its A or W form.
DWORD OrderedAdaptersInfo(PIP_ADAPTER_INFO buffer, PULONG length);
#define GetAdaptersInfo OrderedAdaptersInfo

#else

#include <cstdint>

using IPAddr = std::uint32_t;  // IPv4 address in network byte order

enum : DWORD {
    NO_ERROR = 0,
    ERROR_GEN_FAILURE = 31,
    ERROR_BAD_NET_NAME = 67,
    ERROR_INVALID_PARAMETER = 87,
    ERROR_BUFFER_OVERFLOW = 111,
    ERROR_NO_DATA = 232,
    ERROR_NOT_FOUND = 1168,
    ERROR_CANCELLED = 1223,  // the calling worker was asked to stop
};

enum { MAX_ADAPTER_NAME_LENGTH = 256, MAX_ADAPTER_DESCRIPTION_LENGTH = 128, MAX_ADAPTER_ADDRESS_LENGTH = 8 };

struct IP_ADDRESS_STRING {
    char String[4 * 4];  // dotted decimal, NUL-terminated
};
using IP_MASK_STRING = IP_ADDRESS_STRING;

struct IP_ADDR_STRING {
    IP_ADDR_STRING* Next;
    IP_ADDRESS_STRING IpAddress;
    IP_MASK_STRING IpMask;
    DWORD Context;
};

struct IP_ADAPTER_INFO {
    IP_ADAPTER_INFO* Next;
    DWORD ComboIndex;
    char AdapterName[MAX_ADAPTER_NAME_LENGTH + 4];  // the interface name, in GBK
    char Description[MAX_ADAPTER_DESCRIPTION_LENGTH + 4];
    UINT AddressLength;
    BYTE Address[MAX_ADAPTER_ADDRESS_LENGTH];
    DWORD Index;  // interface index
    UINT Type;
    UINT DhcpEnabled;
    IP_ADDR_STRING* CurrentIpAddress;
    IP_ADDR_STRING IpAddressList;  // first entry inline, the rest chained
    IP_ADDR_STRING GatewayList;
};
using PIP_ADAPTER_INFO = IP_ADAPTER_INFO*;

// Fills `buffer` with the chain of adapter records (loopback excluded; every
// pointer points into the buffer) and returns NO_ERROR. A null or too small
// buffer: ERROR_BUFFER_OVERFLOW and *length set to the bytes needed. No
// adapter: ERROR_NO_DATA.
DWORD GetAdaptersInfo(PIP_ADAPTER_INFO buffer, ULONG* length);

// Resolves `destination` on the local segment: NO_ERROR with the hardware
// address and its length written, or an error code when no answer came in
// time. `source` 0 lets the platform pick the source address.
DWORD SendARP(IPAddr destination, IPAddr source, void* macAddress, ULONG* length);

#endif
