// Terminals and SIGINT over POSIX.
#include "platform/base/console.h"

#include "platform/base/afxstop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>

namespace afx {

namespace {

std::atomic<StopToken*> g_interruptToken{nullptr};
volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int)
{
    g_interrupted = 1;
    // An atomic store and a write() to an eventfd: both safe in a handler.
    if (StopToken* token = g_interruptToken.load())
        token->Request();
}

}  // namespace

void AttachParentConsole() {}

void PrepareStandardStreams()
{
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) < 0) {
            // open() takes the lowest free number: this very one.
            const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
            if (opened > 2)
                close(opened);
        }
    signal(SIGPIPE, SIG_IGN);
}

bool IsTerminal(std::FILE* stream)
{
    return isatty(fileno(stream)) == 1;
}

void StopOnInterrupt(StopToken* token)
{
    g_interruptToken.store(token);
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocking call returns, and its caller looks again.
    // SA_RESETHAND: a second Ctrl+C ends the process at once, for a user
    // who will not wait for the last file write.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
}

bool Interrupted()
{
    return g_interrupted != 0;
}

void SleepUnlessStopped(unsigned ms)
{
    using Clock = std::chrono::steady_clock;
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (!StopRequested()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0)
            return;
        pollfd stop{StopWaitHandle(), POLLIN, 0};
        if (poll(&stop, 1, static_cast<int>(left) + 1) > 0)
            return;
    }
}

}  // namespace afx
