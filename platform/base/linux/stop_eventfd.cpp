// The stop token over an eventfd, so that poll() can wait for it beside a
// socket.
#include "platform/base/afxstop.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace afx {

StopToken::StopToken() : m_handle(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

StopToken::~StopToken()
{
    if (m_handle >= 0)
        close(m_handle);
}

void StopToken::Request()
{
    m_requested.store(true);
    // The counter is never read down: once set, it stays readable.
    const std::uint64_t one = 1;
    if (m_handle >= 0)
        (void)!write(m_handle, &one, sizeof one);
}

}  // namespace afx
