#include "net/hosts_file.h"

#include "net/address_text.h"
#include "net/octets.h"
#include "platform/net/winsock.h"

#include <algorithm>
#include <cstdio>

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back (Howard
// Hinnant's civil calendar algorithms): no time zone, no C library.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

bool Digits(const std::string& text, std::size_t at, std::size_t count, unsigned& value)
{
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return true;
}

// C0 controls and DEL, one byte each; the C1 controls (U+0080-U+009F) are
// C2 80-9F in UTF-8, and a terminal acts on those too.
std::size_t ControlLength(const std::string& text, std::size_t at)
{
    const auto u = static_cast<unsigned char>(text[at]);
    if (u < 0x20 || u == 0x7F)
        return 1;
    if (u == 0xC2 && at + 1 < text.size()) {
        const auto next = static_cast<unsigned char>(text[at + 1]);
        if (next >= 0x80 && next <= 0x9F)
            return 2;
    }
    return 0;
}

bool ValidAdapterName(const std::string& name)
{
    for (std::size_t i = 0; i < name.size(); ++i)
        if (ControlLength(name, i) != 0)
            return false;
    return !name.empty();
}

std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

bool ParseLine(const std::string& line, RememberedHost& host)
{
    const std::vector<std::string> fields = SplitTabs(line);
    if (fields.size() != 4 || !ValidAdapterName(fields[2]))
        return false;
    host.adapter = fields[2];
    return ParseDottedIp(fields[0], host.ip) && ParseMacText(fields[1], host.mac) &&
           ParseUtcText(fields[3], host.seen);
}

bool AddressOrder(const RememberedHost& a, const RememberedHost& b)
{
    return ntohl(a.ip) < ntohl(b.ip);
}

constexpr const char* kHeader =
    "# Hosts Orvane has seen answer: IPv4 address, MAC address, adapter, last seen (UTC).\n"
    "# Delete a line to forget that host, or the file to forget them all.\n";

std::string HostLine(const RememberedHost& host)
{
    in_addr address{};
    address.s_addr = host.ip;
    std::string line = inet_ntoa(address);
    line += '\t';
    line += MacText(host.mac).GetString();
    line += '\t';
    line += CleanAdapterName(host.adapter);
    line += '\t';
    line += UtcText(host.seen);
    line += '\n';
    return line;
}

}  // namespace

std::string UtcText(std::int64_t seconds)
{
    std::int64_t days = seconds / 86400, rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    std::int64_t y;
    unsigned m, d;
    CivilFromDays(days, y, m, d);
    char text[48];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02dZ", static_cast<long long>(y), m, d,
                  static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                  static_cast<int>(rest % 60));
    return text;
}

bool ParseUtcText(const std::string& text, std::int64_t& seconds)
{
    // Exactly YYYY-MM-DDTHH:MM:SSZ.
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != 'Z')
        return false;
    unsigned y, mo, d, h, mi, s;
    if (!Digits(text, 0, 4, y) || !Digits(text, 5, 2, mo) || !Digits(text, 8, 2, d) ||
        !Digits(text, 11, 2, h) || !Digits(text, 14, 2, mi) || !Digits(text, 17, 2, s))
        return false;
    if (mo < 1 || mo > 12 || d < 1 || h > 23 || mi > 59 || s > 59)
        return false;
    static constexpr unsigned kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (d > kMonthDays[mo - 1] || (mo == 2 && d == 29 && !leap))
        return false;
    seconds = DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
    return true;
}

std::string CleanAdapterName(const std::string& name)
{
    std::string clean;
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t control = ControlLength(name, i);
        clean += control ? '?' : name[i];
        i += control ? control : 1;
    }
    return clean.empty() ? "?" : clean;
}

std::vector<RememberedHost> ParseHostsText(const std::string& text, std::vector<int>& damagedLines)
{
    std::vector<RememberedHost> lines;
    std::size_t start = 0;
    int number = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        // A file edited on Windows.
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line.front() == '#')
            continue;
        RememberedHost host;
        if (ParseLine(line, host))
            lines.push_back(host);
        else
            damagedLines.push_back(number);
    }
    std::vector<RememberedHost> hosts;
    MergeHosts(hosts, lines);
    return hosts;
}

std::string FormatHostsText(const std::vector<RememberedHost>& hosts)
{
    std::string text = kHeader;
    for (const RememberedHost& host : hosts)
        text += HostLine(host);
    return text;
}

std::string ApplySightings(const std::string& text, const std::vector<RememberedHost>& seen)
{
    // The last report of each address seen, in address order.
    std::vector<RememberedHost> news;
    for (const RememberedHost& host : seen) {
        auto it = std::lower_bound(news.begin(), news.end(), host, AddressOrder);
        if (it == news.end() || it->ip != host.ip)
            news.insert(it, host);
        else
            *it = host;
    }
    std::vector<bool> placed(news.size(), false);
    std::string out = text.empty() ? std::string(kHeader) : std::string();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string raw = text.substr(start, end - start);
        start = end + 1;
        std::string line = raw;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        RememberedHost host;
        if (!line.empty() && line.front() != '#' && ParseLine(line, host)) {
            auto it = std::lower_bound(news.begin(), news.end(), host, AddressOrder);
            if (it != news.end() && it->ip == host.ip) {
                // The first line of the address takes the news; a second
                // one would only contradict it.
                const auto i = static_cast<std::size_t>(it - news.begin());
                if (!placed[i])
                    out += HostLine(*it);
                placed[i] = true;
                continue;
            }
        }
        // Whatever this version cannot read (a comment, an edit, a newer
        // format) stays as it was, where it was.
        out += raw;
        out += '\n';
    }
    for (std::size_t i = 0; i < news.size(); ++i)
        if (!placed[i])
            out += HostLine(news[i]);
    return out;
}

bool MergeHosts(std::vector<RememberedHost>& known, const std::vector<RememberedHost>& seen)
{
    bool changed = false;
    for (const RememberedHost& host : seen) {
        auto it = std::lower_bound(known.begin(), known.end(), host, AddressOrder);
        if (it == known.end() || it->ip != host.ip) {
            known.insert(it, host);
            changed = true;
        } else if (host.seen > it->seen ||
                   (host.seen == it->seen &&
                    (!std::equal(host.mac, host.mac + 6, it->mac) || host.adapter != it->adapter))) {
            // Same second, different answer: the newer report wins, so a
            // changed machine is not kept out by a clock's resolution.
            *it = host;
            changed = true;
        }
    }
    return changed;
}

const RememberedHost* FindHost(const std::vector<RememberedHost>& hosts, IPAddr ip)
{
    for (const RememberedHost& host : hosts)
        if (host.ip == ip)
            return &host;
    return nullptr;
}
