#include "platform/net/linux/sendarp_common.h"

#include "platform/base/afxstop.h"

#include <poll.h>

#include <cerrno>
#include <ctime>

namespace orvane::arp {

bool WaitReadable(int fd, Clock::time_point until)
{
    for (;;) {
        const auto left = until - Clock::now();
        if (left <= Clock::duration::zero())
            return false;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec timeout{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        pollfd entries[2] = {{fd, POLLIN, 0}, {afx::StopWaitHandle(), POLLIN, 0}};
        const int ready = ppoll(entries, 2, &timeout, nullptr);
        if (ready > 0)
            return entries[1].revents == 0 && entries[0].revents != 0;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

}  // namespace orvane::arp
