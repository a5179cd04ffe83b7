#include "platform/net/adapter_layout.h"

#include "platform/net/adapter_order.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <net/if_arp.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>

namespace orvane::adapters {
namespace {

// Interface kinds as the record's Type field names them.
enum : UINT { kTypeOther = 1, kTypeEthernet = 6, kTypePpp = 23 };

constexpr char kNoAddress[] = "0.0.0.0";
constexpr char kHostMask[] = "255.255.255.255";

bool IsLoopback(const AdapterFacts& adapter)
{
    return (adapter.flags & IFF_LOOPBACK) != 0 || adapter.hardwareType == ARPHRD_LOOPBACK;
}

bool IsActive(const AdapterFacts& adapter)
{
    const unsigned upRunning = IFF_UP | IFF_RUNNING;
    return (adapter.flags & upRunning) == upRunning && !adapter.ipv4.empty();
}

// Copies at most size - 1 bytes and always ends the text.
template <std::size_t N> void CopyText(char (&out)[N], std::string_view text)
{
    const std::size_t n = std::min(text.size(), N - 1);
    std::memcpy(out, text.data(), n);
    std::memset(out + n, 0, N - n);
}

void PutText(IP_ADDRESS_STRING& out, const char* text)
{
    CopyText(out.String, text);
}

void PutAddress(IP_ADDRESS_STRING& out, IPAddr address)
{
    in_addr value{address};
    char text[INET_ADDRSTRLEN];
    PutText(out, inet_ntop(AF_INET, &value, text, sizeof text) ? text : kNoAddress);
}

std::size_t ExtraEntries(const AdapterFacts& adapter)
{
    const auto beyondFirst = [](std::size_t n) { return n > 1 ? n - 1 : 0; };
    return beyondFirst(adapter.ipv4.size()) + beyondFirst(adapter.gateways.size());
}

UINT RecordType(std::uint16_t hardwareType)
{
    switch (hardwareType) {
        case ARPHRD_ETHER:
            return kTypeEthernet;
        case ARPHRD_PPP:
            return kTypePpp;
        default:
            return kTypeOther;
    }
}

}  // namespace

void AttachDefaultRoutes(std::vector<AdapterFacts>& adapters, const std::vector<nl::DefaultRoute>& defaults)
{
    for (const nl::DefaultRoute& route : defaults) {
        auto adapter = std::find_if(adapters.begin(), adapters.end(),
                                    [&](const AdapterFacts& a) { return a.index == route.oif; });
        if (adapter == adapters.end())
            continue;
        if (!adapter->holdsDefaultRoute || route.metric < adapter->defaultMetric) {
            adapter->holdsDefaultRoute = true;
            adapter->defaultMetric = route.metric;
        }
        if (route.gateway != 0 && std::find(adapter->gateways.begin(), adapter->gateways.end(),
                                            route.gateway) == adapter->gateways.end())
            adapter->gateways.push_back(route.gateway);
    }
}

void OrderAdapters(std::vector<AdapterFacts>& adapters)
{
    std::erase_if(adapters, IsLoopback);
    // Linux's own order of interfaces is their index.
    std::stable_sort(adapters.begin(), adapters.end(),
                     [](const AdapterFacts& a, const AdapterFacts& b) { return a.index < b.index; });
    std::vector<OrderFacts> facts;
    for (const AdapterFacts& adapter : adapters)
        facts.push_back({IsActive(adapter), adapter.holdsDefaultRoute, adapter.defaultMetric});
    std::vector<AdapterFacts> ordered;
    ordered.reserve(adapters.size());
    for (std::size_t i : ShownOrder(facts))
        ordered.push_back(std::move(adapters[i]));
    adapters = std::move(ordered);
}

ULONG RequiredLength(const std::vector<AdapterFacts>& adapters)
{
    std::size_t extras = 0;
    for (const AdapterFacts& adapter : adapters)
        extras += ExtraEntries(adapter);
    return static_cast<ULONG>(adapters.size() * sizeof(IP_ADAPTER_INFO) + extras * sizeof(IP_ADDR_STRING));
}

DWORD WriteAdapterInfo(const std::vector<AdapterFacts>& adapters, PIP_ADAPTER_INFO buffer, ULONG* length)
{
    if (length == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (adapters.empty())
        return ERROR_NO_DATA;
    const ULONG needed = RequiredLength(adapters);
    if (buffer == nullptr || *length < needed) {
        *length = needed;
        return ERROR_BUFFER_OVERFLOW;
    }

    std::memset(static_cast<void*>(buffer), 0, needed);
    auto* base = reinterpret_cast<unsigned char*>(buffer);
    // Records first, as an array, so that both walking the Next chain and
    // indexing work; then the entries beyond each inline first one.
    IP_ADDR_STRING* spare =
        reinterpret_cast<IP_ADDR_STRING*>(base + adapters.size() * sizeof(IP_ADAPTER_INFO));
    const auto take = [&spare]() { return new (spare++) IP_ADDR_STRING{}; };

    IP_ADAPTER_INFO* previous = nullptr;
    for (const AdapterFacts& adapter : adapters) {
        auto* record = new (base) IP_ADAPTER_INFO{};
        base += sizeof(IP_ADAPTER_INFO);
        if (previous != nullptr)
            previous->Next = record;
        previous = record;

        record->ComboIndex = adapter.index;
        CopyText(record->AdapterName, adapter.name);
        // Linux has no separate human-readable description: the name serves.
        CopyText(record->Description, adapter.name);
        record->AddressLength = std::min<UINT>(adapter.addressLength, MAX_ADAPTER_ADDRESS_LENGTH);
        std::memcpy(record->Address, adapter.address.data(), record->AddressLength);
        record->Index = adapter.index;
        record->Type = RecordType(adapter.hardwareType);
        record->DhcpEnabled = 0;
        record->CurrentIpAddress = nullptr;

        IP_ADDR_STRING* entry = &record->IpAddressList;
        if (adapter.ipv4.empty()) {
            PutText(entry->IpAddress, kNoAddress);
            PutText(entry->IpMask, kNoAddress);
        }
        for (std::size_t i = 0; i < adapter.ipv4.size(); ++i) {
            if (i > 0)
                entry = entry->Next = take();
            PutAddress(entry->IpAddress, adapter.ipv4[i].address);
            PutAddress(entry->IpMask, adapter.ipv4[i].mask);
            entry->Context = adapter.index;
        }

        entry = &record->GatewayList;
        if (adapter.gateways.empty()) {
            PutText(entry->IpAddress, kNoAddress);
            PutText(entry->IpMask, kNoAddress);
        }
        for (std::size_t i = 0; i < adapter.gateways.size(); ++i) {
            if (i > 0)
                entry = entry->Next = take();
            PutAddress(entry->IpAddress, adapter.gateways[i]);
            PutText(entry->IpMask, kHostMask);
        }
    }
    return NO_ERROR;
}

}  // namespace orvane::adapters
