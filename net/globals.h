// Process-wide values shared by the dialog and the sweep worker.
#pragma once

#include "platform/net/iphlpapi.h"

#include <atomic>
#include <cstdint>

// The first adapter's address and mask (network byte order). Written once on
// the UI thread while the dialog initialises, before any worker exists; the
// worker only reads them, and starting it orders the writes before its reads.
extern IPAddr g_localIp;
extern IPAddr g_localMask;

// 1 while no sweep runs, 0 while one does. Only whole loads and stores, never
// a read-modify-write: the UI thread tests it and stores 0 before it starts a
// worker; only the worker stores 1, after its last list operation.
extern std::atomic<std::int32_t> g_scanIdle;
