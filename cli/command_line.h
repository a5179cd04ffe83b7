// What the words after the program's name ask for: the dialog (no words),
// a wake-up, a sweep, the remembered hosts, the help or the version. Pure:
// nothing here opens a window, a file or a socket.
#pragma once

#include "net/address_text.h"
#include "platform/net/iphlpapi.h"

#include <string>
#include <vector>

// One word of `orvane wake`: a MAC address, an IPv4 address, or a host name
// to resolve.
struct WakeTarget {
    enum Kind { Mac, Ip, Host } kind = Mac;
    std::string text;  // as typed, for messages
    BYTE mac[6] = {};  // Mac
    IPAddr ip = 0;     // Ip (network byte order)
};

struct CommandLine {
    enum Command { Dialog, Help, Version, Wake, Scan, Hosts, Usage } command = Dialog;
    std::vector<WakeTarget> targets;  // Wake
    unsigned short port = 0;          // Wake; 0 means the usual port
    std::string adapter;              // Wake, Scan; empty means the first adapter
    std::string error;                // Usage: what was wrong, one line
};

// Reads the words after the program's name. GNU style: long options with
// "=" or a separate value, unambiguous abbreviations of them, short options
// with their value attached or separate, options anywhere after the
// command, "--" ending them. Every problem gives Usage with `error` set; a
// bad MAC address anywhere is one of them, so nothing is sent for any.
CommandLine ParseCommandLine(const std::vector<std::string>& words);

// One line each, ending in a line feed.
std::string UsageLine(const std::string& program);
std::string HelpText(const std::string& program);
