#include "net/arp_scan.h"

#include "platform/net/winsock.h"

#include <algorithm>

namespace {
// A late timer may send what it missed, but no more than this much of it:
// the pace holds over any stretch longer than this.
constexpr auto kCatchUp = std::chrono::milliseconds(10);
}  // namespace

CArpScanPlan::CArpScanPlan(std::uint32_t first, std::uint32_t count, IPAddr except, const ArpScanPace& pace,
                           ScanTime start)
    : m_first(first), m_count(count), m_pace(pace), m_addresses(count), m_nextSlot(start)
{
    m_pace.rate = std::max(1u, m_pace.rate);
    m_pace.tries = std::max(1u, m_pace.tries);
    m_pace.window = std::max<std::size_t>(1, m_pace.window);
    m_interval = std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::seconds(1)) /
                 m_pace.rate;
    const std::uint32_t own = ntohl(except) - first;
    if (except != 0 && own < count)
        m_addresses[own].state = Answered;
    while (m_fresh < m_count && m_addresses[m_fresh].state != Idle)
        ++m_fresh;
}

void CArpScanPlan::Expire(ScanTime now)
{
    while (!m_waiting.empty() && m_waiting.front().deadline <= now) {
        const Pending pending = m_waiting.front();
        m_waiting.pop_front();
        Address& address = m_addresses[pending.offset];
        // Answered, or asked again since: this entry is stale.
        if (address.state != Waiting || address.deadline != pending.deadline)
            continue;
        if (address.tries < m_pace.tries) {
            address.state = Idle;
            m_retries.push_back(pending.offset);
        } else {
            address.state = Silent;
            --m_outstanding;
        }
    }
}

bool CArpScanPlan::CanSend() const
{
    return !m_retries.empty() || (m_fresh < m_count && m_outstanding < m_pace.window);
}

void CArpScanPlan::Send(std::uint32_t offset, ScanTime now, std::vector<IPAddr>& out)
{
    Address& address = m_addresses[offset];
    if (address.tries == 0)
        address.firstSent = now;
    ++address.tries;
    address.state = Waiting;
    address.deadline = now + m_pace.timeout;
    m_waiting.push_back({offset, address.deadline});
    out.push_back(htonl(m_first + offset));
}

std::vector<IPAddr> CArpScanPlan::Due(ScanTime now)
{
    Expire(now);
    std::vector<IPAddr> out;
    m_nextSlot = std::max(m_nextSlot, now - kCatchUp);
    while (m_nextSlot <= now && CanSend()) {
        if (!m_retries.empty()) {
            Send(m_retries.front(), now, out);
            m_retries.pop_front();
        } else {
            ++m_outstanding;
            Send(m_fresh, now, out);
            while (m_fresh < m_count && m_addresses[m_fresh].state != Idle)
                ++m_fresh;
        }
        m_nextSlot += m_interval;
    }
    return out;
}

bool CArpScanPlan::Accept(IPAddr ip, ScanTime arrival)
{
    const std::uint32_t offset = ntohl(ip) - m_first;
    if (offset >= m_count)
        return false;
    Address& address = m_addresses[offset];
    // A second try's wait covers a late answer to the first; a retry not yet
    // sent is still waiting on the first.
    const bool waiting = address.state == Waiting || (address.state == Idle && address.tries > 0);
    if (!waiting || arrival < address.firstSent || arrival > address.deadline)
        return false;
    if (address.state == Idle)
        m_retries.erase(std::find(m_retries.begin(), m_retries.end(), offset));
    address.state = Answered;
    --m_outstanding;
    return true;
}

ScanTime CArpScanPlan::NextEvent() const
{
    ScanTime next = ScanTime::max();
    if (CanSend())
        next = m_nextSlot;
    if (!m_waiting.empty())
        next = std::min(next, m_waiting.front().deadline);
    return next;
}
