#include "cli/command_line.h"

#include "net/magic_packet.h"
#include "platform/net/winsock.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

namespace {

bool IsHex(char c)
{
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

bool AllOf(const std::string& text, const char* allowed, bool hexToo)
{
    for (char c : text) {
        const bool ok =
            (hexToo && IsHex(c)) || (c != '\0' && std::string(allowed).find(c) != std::string::npos);
        if (!ok)
            return false;
    }
    return !text.empty();
}

// Letters, digits, hyphens and dots (and the underscore some local names
// carry), labels not starting with a hyphen: what a resolver may be asked.
bool LooksLikeHostName(const std::string& text)
{
    if (text.empty() || text.size() > 253 || text.front() == '-' || text.front() == '.')
        return false;
    bool labelStart = true;
    for (char c : text) {
        const bool alnum = std::isalnum(static_cast<unsigned char>(c)) != 0;
        if (!alnum && c != '-' && c != '.' && c != '_')
            return false;
        if (labelStart && c == '-')
            return false;
        labelStart = c == '.';
    }
    return true;
}

struct Option {
    const char* longName;
    char shortName;
    bool takesValue;
};
constexpr Option kOptions[] = {
    {"help", 'h', false},
    {"version", 'V', false},
    {"port", 'p', true},
    {"interface", 'i', true},
};

// The option a "--name" word means: exact, or the one option it begins;
// nullptr with `error` set otherwise.
const Option* FindLong(const std::string& name, std::string& error)
{
    const Option* found = nullptr;
    int matches = 0;
    for (const Option& o : kOptions) {
        const std::string full = o.longName;
        if (full == name)
            return &o;
        if (!name.empty() && full.compare(0, name.size(), name) == 0) {
            found = &o;
            ++matches;
        }
    }
    if (matches == 1)
        return found;
    error = matches == 0 ? "unrecognized option '--" + name + "'" : "option '--" + name + "' is ambiguous";
    return nullptr;
}

const Option* FindShort(char c)
{
    for (const Option& o : kOptions)
        if (o.shortName == c)
            return &o;
    return nullptr;
}

CommandLine Usage(std::string error)
{
    CommandLine line;
    line.command = CommandLine::Usage;
    line.error = std::move(error);
    return line;
}

bool ParsePort(const std::string& text, unsigned short& port)
{
    if (text.empty() || text.size() > 5 || !AllOf(text, "0123456789", false))
        return false;
    const long value = std::stol(text);
    if (value < 1 || value > 65535)
        return false;
    port = static_cast<unsigned short>(value);
    return true;
}

// A word of `orvane wake`, or the reason it is none. Digits and dots are an
// IPv4 address; a word in one of the two lengths of a MAC address (17 with
// ":" or "-" between the pairs, 12 hex digits) or with a colon (no host
// name has one) is a MAC address; anything else a host name, so "dc-1" and
// "cafe-2" are looked up.
bool ParseTarget(const std::string& word, WakeTarget& target, std::string& error)
{
    target.text = word;
    if (AllOf(word, "0123456789.", false)) {
        target.kind = WakeTarget::Ip;
        if (ParseDottedIp(word, target.ip))
            return true;
        error = "'" + word + "' is not an IPv4 address";
        return false;
    }
    bool separated = word.size() == 17 && (word[2] == ':' || word[2] == '-');
    for (std::size_t i = 2; separated && i < 17; i += 3)
        separated = word[i] == word[2];
    const bool macShaped =
        word.find(':') != std::string::npos || separated || (word.size() == 12 && AllOf(word, "", true));
    if (macShaped) {
        target.kind = WakeTarget::Mac;
        if (ParseMacText(word, target.mac))
            return true;
        error = "'" + word + "' is not a MAC address (00:1A:2B:3C:4D:5E, 00-1A-2B-3C-4D-5E or 001A2B3C4D5E)";
        return false;
    }
    if (LooksLikeHostName(word)) {
        target.kind = WakeTarget::Host;
        return true;
    }
    error = "'" + word + "' is not a MAC address, an IPv4 address or a host name";
    return false;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& words)
{
    CommandLine line;
    if (words.empty())
        return line;

    std::vector<std::string> operands;
    bool help = false, version = false, portGiven = false, adapterGiven = false;
    bool optionsEnd = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (optionsEnd || word.size() < 2 || word[0] != '-') {
            operands.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnd = true;
            continue;
        }
        const Option* option = nullptr;
        std::string value;
        bool hasValue = false;
        std::string shown;
        if (word[1] == '-') {
            const std::size_t eq = word.find('=');
            std::string error;
            option = FindLong(word.substr(2, eq == std::string::npos ? std::string::npos : eq - 2), error);
            if (!option)
                return Usage(error);
            shown = std::string("--") + option->longName;
            if (eq != std::string::npos) {
                if (!option->takesValue)
                    return Usage("option '" + shown + "' doesn't allow an argument");
                value = word.substr(eq + 1);
                hasValue = true;
            }
        } else {
            option = FindShort(word[1]);
            if (!option)
                return Usage(std::string("invalid option -- '") + word[1] + "'");
            shown = std::string("-") + option->shortName;
            if (word.size() > 2) {
                if (!option->takesValue)
                    return Usage("invalid option '" + word + "'");
                value = word.substr(2);
                hasValue = true;
            }
        }
        if (option->takesValue && !hasValue) {
            if (i + 1 >= words.size())
                return Usage("option '" + shown + "' requires an argument");
            value = words[++i];
        }
        switch (option->shortName) {
            case 'h':
                help = true;
                break;
            case 'V':
                version = true;
                break;
            case 'p':
                if (!ParsePort(value, line.port))
                    return Usage("'" + value + "' is not a port number (1-65535)");
                portGiven = true;
                break;
            case 'i':
                if (value.empty())
                    return Usage("option '" + shown + "' needs an adapter name");
                line.adapter = value;
                adapterGiven = true;
                break;
        }
    }

    // As GNU tools do, --help and --version win over everything else.
    if (help) {
        line.command = CommandLine::Help;
        return line;
    }
    if (version) {
        line.command = CommandLine::Version;
        return line;
    }
    if (operands.empty())
        return Usage("a command is missing (wake, scan or hosts)");

    const std::string command = operands.front();
    operands.erase(operands.begin());
    if (command == "wake") {
        if (operands.empty())
            return Usage("wake needs a MAC address, an IPv4 address or a host name");
        for (const std::string& word : operands) {
            WakeTarget target;
            std::string error;
            if (!ParseTarget(word, target, error))
                return Usage(error);
            line.targets.push_back(target);
        }
        line.command = CommandLine::Wake;
        if (!portGiven)
            line.port = WAKE_PORT;
        return line;
    }
    if (command == "scan" || command == "hosts") {
        if (!operands.empty())
            return Usage("unexpected argument '" + operands.front() + "' after " + command);
        if (portGiven)
            return Usage("--port is for wake only");
        if (command == "hosts" && adapterGiven)
            return Usage("--interface is for wake and scan only");
        line.command = command == "scan" ? CommandLine::Scan : CommandLine::Hosts;
        return line;
    }
    return Usage("unknown command '" + command + "'");
}

std::string UsageLine(const std::string& program)
{
    return "Usage: " + program + " [wake MAC|IP|HOST... | scan | hosts] [OPTION]...\n";
}

std::string HelpText(const std::string& program)
{
    return UsageLine(program) +
           "Without a command, opens the dialog.\n"
           "\n"
           "Commands:\n"
           "  wake MAC|IP|HOST...   broadcast a wake-up datagram for each machine: a MAC\n"
           "                        address (00:1A:2B:3C:4D:5E, 00-1A-2B-3C-4D-5E or\n"
           "                        001A2B3C4D5E), or an IPv4 address or host name whose\n"
           "                        MAC address a sweep remembered (or the system knows)\n"
           "  scan                  ask every address of the adapter's subnet in turn and\n"
           "                        print each answering host as \"IP<TAB>MAC\"\n"
           "  hosts                 print the remembered hosts: IP, MAC, adapter, last seen\n"
           "\n"
           "Options:\n"
           "  -p, --port=N          UDP port of the wake-up datagram (default 5050)\n"
           "  -i, --interface=NAME  use this adapter instead of the first one\n"
           "  -h, --help            show this help and exit\n"
           "  -V, --version         show the version and exit\n"
           "\n"
           "Exit status: 0 done, 1 a datagram, host or adapter failed, 2 usage error,\n"
           "130 interrupted.\n";
}
