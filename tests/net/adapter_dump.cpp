// Prints the adapter records GetAdaptersInfo gives, the way the lab tests
// describe them, so that a test can compare what another user sees.
// Reads only; sends nothing.
#include "platform/net/iphlpapi.h"
#include "tests/support/lab.h"

#include <cstdio>
#include <vector>

int main()
{
    ULONG length = 0;
    const DWORD first = GetAdaptersInfo(nullptr, &length);
    std::printf("first %u length %u\n", first, length);
    if (first != ERROR_BUFFER_OVERFLOW)
        return 0;
    std::vector<IP_ADAPTER_INFO> storage(length / sizeof(IP_ADAPTER_INFO) + 1);
    const DWORD second = GetAdaptersInfo(storage.data(), &length);
    std::printf("second %u\n", second);
    if (second == NO_ERROR)
        std::fputs(labtest::DescribeAdapters(storage.data()).c_str(), stdout);
    return 0;
}
