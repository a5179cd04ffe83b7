// The remembered hosts on disk: every sweep adds the hosts that answered,
// `orvane wake IP` and `orvane hosts` read them. One small file per user
// (afx::UserStateDirectory), replaced whole under a lock, so two Orvanes at
// once each add their hosts and lose none of the other's.
#pragma once

#include "net/hosts_file.h"

#include <string>
#include <vector>

// Where the file is (for messages and the manual page's promise).
std::string RememberedHostsPath();

// What the file holds; an unreadable file gives none. Each damaged line and
// an unreadable file add a line to `warnings`.
std::vector<RememberedHost> ReadRememberedHosts(std::vector<std::string>& warnings);

// Adds `seen` to the file: under the lock it reads the file again, merges
// and writes it only when something changed. False with `error` when the
// file could not be written (what it held is then untouched).
bool RememberHosts(const std::vector<RememberedHost>& seen, std::string& error,
                   std::vector<std::string>& warnings);

// Collects the answers of one sweep, for RememberHosts at its end.
class CSweptHosts {
public:
    explicit CSweptHosts(std::string adapter) : m_adapter(std::move(adapter)) {}
    void Add(IPAddr ip, const void* mac);
    const std::vector<RememberedHost>& Hosts() const { return m_hosts; }

private:
    std::string m_adapter;
    std::vector<RememberedHost> m_hosts;
};

// Remembers what a sweep of the dialog saw; problems go to standard error,
// as the dialog has no place for them and must look as it always did.
void RememberSweptHosts(const CSweptHosts& swept);
