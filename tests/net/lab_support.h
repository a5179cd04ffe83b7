// Helpers shared by the lab tests of platform/net and their small programs.
#pragma once

#include "platform/net/iphlpapi.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace orvane::labtest {

inline std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

inline std::vector<std::string> Words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

inline std::string MacText(const BYTE* bytes, UINT length)
{
    std::string text;
    char part[4];
    for (UINT i = 0; i < length; ++i) {
        std::snprintf(part, sizeof part, i ? ":%02x" : "%02x", bytes[i]);
        text += part;
    }
    return text.empty() ? "-" : text;
}

// One line per record and per address entry, so that a record list read
// in-process and one printed by another process compare as text.
inline std::string DescribeAdapters(const IP_ADAPTER_INFO* record)
{
    std::string text;
    for (; record != nullptr; record = record->Next) {
        text += "adapter " + std::string(record->AdapterName) + " index " + std::to_string(record->Index) +
                " mac " + MacText(record->Address, record->AddressLength) + "\n";
        for (const IP_ADDR_STRING* a = &record->IpAddressList; a != nullptr; a = a->Next)
            text += "  ip " + std::string(a->IpAddress.String) + " " + a->IpMask.String + "\n";
        for (const IP_ADDR_STRING* g = &record->GatewayList; g != nullptr; g = g->Next)
            text += "  gateway " + std::string(g->IpAddress.String) + "\n";
    }
    return text;
}

struct Captured {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string out;
};

// Runs argv with its standard output captured (standard error passes).
inline Captured RunCaptured(const std::vector<std::string>& argv)
{
    Captured result;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return result;
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    char buffer[4096];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        result.out.append(buffer, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    return result;
}

// The same command as an ordinary user with no capabilities left.
inline std::vector<std::string> AsOrdinaryUser(std::vector<std::string> argv)
{
    argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"});
    return argv;
}

inline double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

}  // namespace orvane::labtest
