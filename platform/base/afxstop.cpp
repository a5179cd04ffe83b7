#include "platform/base/afxstop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace afx {

namespace {
thread_local StopToken* t_token = nullptr;
}

StopToken::StopToken() : m_eventFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

StopToken::~StopToken()
{
    if (m_eventFd >= 0)
        close(m_eventFd);
}

void StopToken::Request()
{
    const std::uint64_t one = 1;
    (void)!write(m_eventFd, &one, sizeof one);
}

bool StopToken::Requested() const
{
    // The counter is never read down: once set, it stays readable.
    pollfd entry{m_eventFd, POLLIN, 0};
    return poll(&entry, 1, 0) == 1;
}

void StopToken::Install(StopToken* token)
{
    t_token = token;
}

StopToken* CurrentStopToken()
{
    return t_token;
}

bool StopRequested()
{
    return t_token != nullptr && t_token->Requested();
}

int StopEventFd()
{
    return t_token != nullptr ? t_token->EventFd() : -1;
}

}  // namespace afx
