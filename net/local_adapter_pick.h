// The adapter a command works on: the one the dialog shows (the first the
// platform lists), or one named on the command line.
#pragma once

#include "platform/net/iphlpapi.h"

#include <string>
#include <vector>

struct LocalAdapter {
    std::string name;  // UTF-8, as messages and the remembered hosts show it
    DWORD index = 0;
    IPAddr ip = 0;  // network byte order; 0 when it has no IPv4 address
    IPAddr mask = 0;
};

// The platform's adapter records (IP_ADAPTER_INFO, chained), in its order;
// empty when there are none or they cannot be read.
std::vector<BYTE> ReadAdapterRecords();

// The first adapter, or the one whose name (or, on Windows, description) is
// `name`. False with `error` set when there is none.
bool PickLocalAdapter(const std::string& name, LocalAdapter& adapter, std::string& error);

// The name of the adapter holding `ip`, "?" when none does any more.
std::string AdapterNameFor(IPAddr ip);

// Whether `ip` lies in the adapter's subnet.
bool InSubnet(const LocalAdapter& adapter, IPAddr ip);
