#include "net/remembered_hosts.h"

#include "platform/base/statefile.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {
constexpr const char* kApp = "orvane";
constexpr const char* kFile = "hosts";
constexpr const char* kLockFile = "hosts.lock";
constexpr const char* kNoPlace = "no home directory to keep the remembered hosts in: none are read or kept";

std::vector<RememberedHost> ParseWithWarnings(const std::string& path, const std::string& text,
                                              std::vector<std::string>& warnings)
{
    std::vector<int> damaged;
    std::vector<RememberedHost> hosts = ParseHostsText(text, damaged);
    for (int line : damaged)
        warnings.push_back(path + ":" + std::to_string(line) +
                           ": unreadable line skipped (kept in the file)");
    return hosts;
}
}  // namespace

std::string RememberedHostsPath()
{
    return afx::UserStatePath(kApp, kFile);
}

std::vector<RememberedHost> ReadRememberedHosts(std::vector<std::string>& warnings)
{
    const std::string path = RememberedHostsPath();
    if (path.empty()) {
        warnings.push_back(kNoPlace);
        return {};
    }
    std::string text, error;
    if (!afx::ReadWholeFile(path, text, error)) {
        warnings.push_back(error);
        return {};
    }
    return ParseWithWarnings(path, text, warnings);
}

bool RememberHosts(const std::vector<RememberedHost>& seen, std::string& error,
                   std::vector<std::string>& warnings)
{
    if (seen.empty())
        return true;
    if (RememberedHostsPath().empty()) {
        warnings.push_back(kNoPlace);
        return true;
    }
    const std::string dir = afx::UserStateDirectory(kApp, error);
    if (dir.empty())
        return false;
    const std::string path = afx::UserStatePath(kApp, kFile);
    // Read, merge and replace under one lock: another Orvane's hosts,
    // written since we last looked, are in what we read and so in what we
    // write.
    afx::FileLock lock(afx::UserStatePath(kApp, kLockFile));
    if (!lock.Locked()) {
        error = lock.Error();
        return false;
    }
    std::string text;
    if (!afx::ReadWholeFile(path, text, error))
        return false;
    ParseWithWarnings(path, text, warnings);
    const std::string updated = ApplySightings(text, seen);
    if (updated == text)
        return true;
    return afx::ReplaceFileContents(path, updated, error);
}

void CSweptHosts::Add(IPAddr ip, const void* mac)
{
    RememberedHost host;
    host.ip = ip;
    std::memcpy(host.mac, mac, 6);
    host.adapter = m_adapter;
    host.seen = static_cast<std::int64_t>(std::time(nullptr));
    m_hosts.push_back(host);
}

void RememberSweptHosts(const CSweptHosts& swept)
{
    std::string error;
    std::vector<std::string> warnings;
    const bool saved = RememberHosts(swept.Hosts(), error, warnings);
    for (const std::string& warning : warnings)
        std::fprintf(stderr, "orvane: %s\n", warning.c_str());
    if (!saved)
        std::fprintf(stderr, "orvane: cannot remember the hosts found: %s\n", error.c_str());
}
