// GetAdaptersInfo on Windows: the system's records, handed on in the order
// the program lists adapters in. This file only reads the system (records,
// IPv4 default routes, each adapter's state); the rule is adapter_order.cpp's
// and the copying adapter_records.cpp's.
#include "platform/net/adapter_order.h"
#include "platform/net/adapter_records.h"
#include "platform/net/iphlpapi.h"

#include <cstring>
#include <vector>

// Below, the name is the system's own again.
#undef GetAdaptersInfo

namespace {

struct DefaultRoute {
    NET_IFINDEX index;
    ULONG metric;
};

// Windows weighs a route by its metric plus its interface's. The table, not
// GetIpInterfaceEntry: Wine lacks that one (and InitializeIpInterfaceEntry).
ULONG InterfaceMetric(const MIB_IPINTERFACE_TABLE* interfaces, NET_IFINDEX index)
{
    for (ULONG i = 0; interfaces != nullptr && i < interfaces->NumEntries; ++i)
        if (interfaces->Table[i].InterfaceIndex == index)
            return interfaces->Table[i].Metric;
    return 0;
}

std::vector<DefaultRoute> DefaultRoutes()
{
    std::vector<DefaultRoute> routes;
    PMIB_IPFORWARD_TABLE2 table = nullptr;
    if (GetIpForwardTable2(AF_INET, &table) != NO_ERROR)
        return routes;
    PMIB_IPINTERFACE_TABLE interfaces = nullptr;
    if (GetIpInterfaceTable(AF_INET, &interfaces) != NO_ERROR)
        interfaces = nullptr;
    for (ULONG i = 0; i < table->NumEntries; ++i) {
        const MIB_IPFORWARD_ROW2& row = table->Table[i];
        if (row.DestinationPrefix.PrefixLength == 0)
            routes.push_back(
                {row.InterfaceIndex, row.Metric + InterfaceMetric(interfaces, row.InterfaceIndex)});
    }
    if (interfaces != nullptr)
        FreeMibTable(interfaces);
    FreeMibTable(table);
    return routes;
}

// An adapter whose state cannot be read keeps its place among the active.
bool IsUp(NET_IFINDEX index)
{
    MIB_IF_ROW2 row;
    std::memset(&row, 0, sizeof row);
    row.InterfaceIndex = index;
    return GetIfEntry2(&row) != NO_ERROR || row.OperStatus == IfOperStatusUp;
}

bool HasIpv4(const IP_ADAPTER_INFO& record)
{
    for (const IP_ADDR_STRING* entry = &record.IpAddressList; entry != nullptr; entry = entry->Next)
        if (std::strcmp(entry->IpAddress.String, "0.0.0.0") != 0 && entry->IpAddress.String[0] != '\0')
            return true;
    return false;
}

}  // namespace

DWORD OrderedAdaptersInfo(PIP_ADAPTER_INFO buffer, PULONG length)
{
    using namespace orvane::adapters;
    if (length == nullptr)
        return ERROR_INVALID_PARAMETER;
    std::vector<IP_ADAPTER_INFO> system;
    ULONG size = 0;
    DWORD result = GetAdaptersInfo(nullptr, &size);
    // Adapters may come between the two calls: ask again with the new size.
    for (int attempt = 0; result == ERROR_BUFFER_OVERFLOW && attempt < 4; ++attempt) {
        system.resize(size / sizeof(IP_ADAPTER_INFO) + 1);
        size = static_cast<ULONG>(system.size() * sizeof(IP_ADAPTER_INFO));
        result = GetAdaptersInfo(system.data(), &size);
    }
    if (result != NO_ERROR)
        return result;

    const std::vector<const IP_ADAPTER_INFO*> records = ChainRecords(system.data());
    const std::vector<DefaultRoute> routes = DefaultRoutes();
    std::vector<OrderFacts> facts;
    for (const IP_ADAPTER_INFO* record : records) {
        OrderFacts fact;
        fact.active = HasIpv4(*record) && IsUp(record->Index);
        for (const DefaultRoute& route : routes) {
            if (route.index != record->Index)
                continue;
            if (!fact.holdsDefaultRoute || route.metric < fact.defaultMetric)
                fact.defaultMetric = route.metric;
            fact.holdsDefaultRoute = true;
        }
        facts.push_back(fact);
    }
    std::vector<const IP_ADAPTER_INFO*> ordered;
    for (std::size_t i : ShownOrder(facts))
        ordered.push_back(records[i]);
    return CopyAdapterRecords(ordered, buffer, length);
}
