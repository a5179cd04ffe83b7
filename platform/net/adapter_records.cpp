#include "platform/net/adapter_records.h"

#include <cstring>
#include <new>

namespace orvane::adapters {
namespace {

// Every address list a record chains; each may continue beyond its inline
// first entry.
constexpr IP_ADDR_STRING IP_ADAPTER_INFO::*kLists[] = {
    &IP_ADAPTER_INFO::IpAddressList,       &IP_ADAPTER_INFO::GatewayList,
#ifdef _WIN32
    &IP_ADAPTER_INFO::DhcpServer,          &IP_ADAPTER_INFO::PrimaryWinsServer,
    &IP_ADAPTER_INFO::SecondaryWinsServer,
#endif
};

std::size_t ExtraEntries(const IP_ADAPTER_INFO& record)
{
    std::size_t n = 0;
    for (auto list : kLists)
        for (const IP_ADDR_STRING* entry = (record.*list).Next; entry != nullptr; entry = entry->Next)
            ++n;
    return n;
}

}  // namespace

std::vector<const IP_ADAPTER_INFO*> ChainRecords(const IP_ADAPTER_INFO* chain)
{
    std::vector<const IP_ADAPTER_INFO*> records;
    for (; chain != nullptr; chain = chain->Next)
        records.push_back(chain);
    return records;
}

ULONG RecordsLength(const std::vector<const IP_ADAPTER_INFO*>& records)
{
    std::size_t extras = 0;
    for (const IP_ADAPTER_INFO* record : records)
        extras += ExtraEntries(*record);
    return static_cast<ULONG>(records.size() * sizeof(IP_ADAPTER_INFO) + extras * sizeof(IP_ADDR_STRING));
}

DWORD CopyAdapterRecords(const std::vector<const IP_ADAPTER_INFO*>& records, PIP_ADAPTER_INFO buffer,
                         ULONG* length)
{
    if (length == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (records.empty())
        return ERROR_NO_DATA;
    const ULONG needed = RecordsLength(records);
    if (buffer == nullptr || *length < needed) {
        *length = needed;
        return ERROR_BUFFER_OVERFLOW;
    }

    auto* spare = reinterpret_cast<IP_ADDR_STRING*>(reinterpret_cast<unsigned char*>(buffer) +
                                                    records.size() * sizeof(IP_ADAPTER_INFO));
    for (std::size_t i = 0; i < records.size(); ++i) {
        const IP_ADAPTER_INFO& from = *records[i];
        IP_ADAPTER_INFO* to = new (buffer + i) IP_ADAPTER_INFO(from);
        to->Next = i + 1 < records.size() ? buffer + i + 1 : nullptr;
        // Where the current address was one of the record's own, it still is.
        to->CurrentIpAddress = nullptr;
        for (auto list : kLists) {
            IP_ADDR_STRING* copy = &(to->*list);
            for (const IP_ADDR_STRING* entry = &(from.*list); entry != nullptr; entry = entry->Next) {
                if (entry != &(from.*list))
                    copy = copy->Next = new (spare++) IP_ADDR_STRING(*entry);
                if (from.CurrentIpAddress == entry)
                    to->CurrentIpAddress = copy;
            }
            copy->Next = nullptr;
        }
    }
    return NO_ERROR;
}

}  // namespace orvane::adapters
