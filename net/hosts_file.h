// The remembered hosts as text: one line per host, "IP<TAB>MAC<TAB>adapter
// <TAB>last seen" (UTC, 2026-12-07T17:41:49Z), lines starting with "#"
// ignored. Pure: reading, merging and writing the text; the file itself is
// net/remembered_hosts.
#pragma once

#include "platform/net/iphlpapi.h"

#include <cstdint>
#include <string>
#include <vector>

struct RememberedHost {
    IPAddr ip = 0;          // network byte order
    BYTE mac[6] = {};       //
    std::string adapter;    // UTF-8, no tab, line feed or other control character
    std::int64_t seen = 0;  // seconds since 1970-01-01 UTC
};

// The hosts of `text`, one per IP address (the latest seen wins), in rising
// address order. Each line that cannot be read is skipped and its number
// (from 1) added to `damagedLines`: one bad line costs that host only.
std::vector<RememberedHost> ParseHostsText(const std::string& text, std::vector<int>& damagedLines);

// The file's text for `hosts`, with a short header saying what it is.
std::string FormatHostsText(const std::vector<RememberedHost>& hosts);

// The file's new text once a sweep saw `seen`: each host seen replaces its
// address's line whatever time the file gives it (a clock once set ahead
// must not freeze an entry), hosts not listed yet follow at the end in
// address order, and every other line (comments, lines this version cannot
// read, a newer format's) stays word for word and in place.
std::string ApplySightings(const std::string& text, const std::vector<RememberedHost>& seen);

// Merges what a sweep saw into `known`: a host seen later than its entry
// (or not known at all) replaces it. True when anything changed, so that
// a file need not be rewritten otherwise. `known` stays in address order.
bool MergeHosts(std::vector<RememberedHost>& known, const std::vector<RememberedHost>& seen);

// The entry for `ip`, or nullptr.
const RememberedHost* FindHost(const std::vector<RememberedHost>& hosts, IPAddr ip);

// "2026-12-07T17:41:49Z" and back; false for anything else.
std::string UtcText(std::int64_t seconds);
bool ParseUtcText(const std::string& text, std::int64_t& seconds);

// An adapter name as the file keeps it: control characters (C0, DEL and
// C1) become "?".
std::string CleanAdapterName(const std::string& name);
