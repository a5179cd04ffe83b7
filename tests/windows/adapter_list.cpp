// Prints the adapters in the order the program reads them, one a line: the
// first IPv4 address and the description. Reads only; sends nothing.
#include "platform/net/iphlpapi.h"

#include <cstdio>
#include <vector>

int main()
{
    ULONG length = 0;
    if (GetAdaptersInfo(nullptr, &length) != ERROR_BUFFER_OVERFLOW)
        return 1;
    std::vector<IP_ADAPTER_INFO> storage(length / sizeof(IP_ADAPTER_INFO) + 1);
    if (GetAdaptersInfo(storage.data(), &length) != NO_ERROR)
        return 1;
    for (const IP_ADAPTER_INFO* record = storage.data(); record != nullptr; record = record->Next)
        std::printf("%s %s\n", record->IpAddressList.IpAddress.String, record->Description);
    return 0;
}
