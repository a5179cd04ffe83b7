// The system's adapter records handed on in another order. Pure: the chain
// comes from the system's GetAdaptersInfo (adapters_windows.cpp) or a test.
#pragma once

#include "platform/net/iphlpapi.h"

#include <cstddef>
#include <vector>

namespace orvane::adapters {

// The records of a chain, in its order.
std::vector<const IP_ADAPTER_INFO*> ChainRecords(const IP_ADAPTER_INFO* chain);

// Bytes `records` take when laid out by CopyAdapterRecords.
ULONG RecordsLength(const std::vector<const IP_ADAPTER_INFO*>& records);

// The buffer protocol of GetAdaptersInfo over copies of `records`, in the
// order given: ERROR_NO_DATA with none; ERROR_BUFFER_OVERFLOW and *length =
// bytes needed for a null or short buffer; else the records as an array
// followed by the entries their address lists chain beyond the first, every
// pointer into `buffer`, and NO_ERROR. ERROR_INVALID_PARAMETER for a null
// `length`.
DWORD CopyAdapterRecords(const std::vector<const IP_ADAPTER_INFO*>& records, PIP_ADAPTER_INFO buffer,
                         ULONG* length);

}  // namespace orvane::adapters
