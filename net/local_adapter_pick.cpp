#include "net/local_adapter_pick.h"

#include "platform/base/afxstr.h"
#include "platform/net/winsock.h"

#include <vector>

std::vector<BYTE> ReadAdapterRecords()
{
    // The list may grow between the two calls: ask again with the new length.
    std::vector<BYTE> buffer;
    ULONG length = 0;
    DWORD result = GetAdaptersInfo(nullptr, &length);
    for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.assign(length, 0);
        result = GetAdaptersInfo(reinterpret_cast<PIP_ADAPTER_INFO>(buffer.data()), &length);
    }
    if (result != NO_ERROR)
        buffer.clear();
    return buffer;
}

namespace {

LocalAdapter FromRecord(const IP_ADAPTER_INFO& record)
{
    LocalAdapter adapter;
    adapter.name = Utf8FromGbk(record.AdapterName);
    adapter.index = record.Index;
    adapter.ip = inet_addr(record.IpAddressList.IpAddress.String);
    adapter.mask = inet_addr(record.IpAddressList.IpMask.String);
    // "0.0.0.0" is what an adapter without an address reports; INADDR_NONE
    // what an empty text reads as.
    if (adapter.ip == INADDR_NONE)
        adapter.ip = 0;
    if (adapter.mask == INADDR_NONE && std::string(record.IpAddressList.IpMask.String) != "255.255.255.255")
        adapter.mask = 0;
    return adapter;
}

}  // namespace

bool PickLocalAdapter(const std::string& name, LocalAdapter& adapter, std::string& error)
{
    const std::vector<BYTE> buffer = ReadAdapterRecords();
    if (buffer.empty()) {
        error = "no network adapter";
        return false;
    }
    for (auto* record = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data()); record;
         record = record->Next) {
        if (name.empty() || Utf8FromGbk(record->AdapterName) == name || name == record->AdapterName ||
            name == record->Description) {
            adapter = FromRecord(*record);
            return true;
        }
    }
    error = "no network adapter named '" + name + "'";
    return false;
}

std::string AdapterNameFor(IPAddr ip)
{
    const std::vector<BYTE> buffer = ReadAdapterRecords();
    if (!buffer.empty())
        for (auto* record = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data()); record;
             record = record->Next)
            for (const IP_ADDR_STRING* a = &record->IpAddressList; a; a = a->Next)
                if (inet_addr(a->IpAddress.String) == ip)
                    return Utf8FromGbk(record->AdapterName);
    return "?";
}

bool InSubnet(const LocalAdapter& adapter, IPAddr ip)
{
    return adapter.ip != 0 && (ip & adapter.mask) == (adapter.ip & adapter.mask);
}
