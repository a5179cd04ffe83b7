// The text forms of the addresses a user types and the hosts file keeps.
// Pure.
#pragma once

#include "platform/net/iphlpapi.h"

#include <string>

// "00:1A:2B:3C:4D:5E", "00-1a-2b-3c-4d-5e" or "001A2B3C4D5E" (either case,
// one separator throughout) into six bytes; false for anything else.
bool ParseMacText(const std::string& text, BYTE (&mac)[6]);

// A dotted-quad IPv4 address, four decimal numbers 0-255 and nothing else
// (no shortened or octal forms), in network byte order.
bool ParseDottedIp(const std::string& text, IPAddr& ip);
