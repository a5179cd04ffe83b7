#include "net/globals.h"

IPAddr g_localIp = 0;
IPAddr g_localMask = 0;
std::atomic<std::int32_t> g_scanIdle{1};
