// The work of `orvane wake`, `orvane scan` and `orvane hosts`: the same
// datagram, broadcast and sweep as the dialog's, with text in and out.
#pragma once

#include "cli/command_line.h"
#include "net/local_adapter_pick.h"

#include <cstdio>
#include <string>
#include <vector>

// Each problem is one line for standard error (without the program's name).
struct CommandOutcome {
    std::vector<std::string> failures;  // make the status 1
    std::vector<std::string> warnings;  // reported only
    bool interrupted = false;           // the status is 130
};

// Finds the MAC of every target (IP: the remembered hosts, then the
// system's neighbour table on `adapter`; host name: the first address it
// resolves to in the adapter's subnet, then the same) and broadcasts one
// datagram for each found, from the adapter's address (`adapter` may be
// null: no adapter, the system picks the way). An adapter the user named
// (`named`) is the only way out: without an address there, nothing is sent.
CommandOutcome WakeTargets(const std::vector<WakeTarget>& targets, unsigned short port,
                           const LocalAdapter* adapter, bool named = false);

// Sweeps the adapter's subnet as the dialog does, writing "IP<TAB>MAC" to
// `out` as each host answers (flushed at once), with a progress line on
// `progress` when not null; an interrupt stops it after at most the probe
// in progress. The answering hosts are remembered, also when interrupted.
CommandOutcome ScanSubnet(const LocalAdapter& adapter, std::FILE* out, std::FILE* progress);

// The remembered hosts, one "IP<TAB>MAC<TAB>adapter<TAB>last seen" line
// each, in address order.
CommandOutcome ListRememberedHosts(std::FILE* out);
