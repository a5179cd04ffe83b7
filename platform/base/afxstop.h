// When long waits give up: a worker thread's stop request, and the end of
// the process. Blocking services (sleeps, ARP waits, list calls) watch both.
// Needs no window system.
#pragma once

#include <atomic>

namespace afx {

// What a blocking service can wait on beside its own work: an eventfd for
// poll() on Linux, an event object for WaitForMultipleObjects() on Windows.
#ifdef _WIN32
using StopHandle = void*;  // HANDLE
inline constexpr StopHandle kNoStopHandle = nullptr;
#else
using StopHandle = int;
inline constexpr StopHandle kNoStopHandle = -1;  // poll() skips it
#endif

// True once a stop was requested for the calling thread.
bool StopRequested();

// A handle that becomes signalled once a stop is requested for the calling
// thread; kNoStopHandle when the thread has no token, or when the system
// gave its token no handle: a wait then ends at its own time-out, and the
// waiter checks StopRequested() there.
StopHandle StopWaitHandle();

// The framework raises it when what the worker was given (the dialog's host
// list) is about to go away, so the worker can be joined at once.
class StopToken {
public:
    StopToken();
    ~StopToken();
    StopToken(const StopToken&) = delete;
    StopToken& operator=(const StopToken&) = delete;

    void Request();
    bool Requested() const;
    StopHandle Handle() const { return m_handle; }

    // Makes this the calling thread's token (nullptr: none).
    static void Install(StopToken* token);

private:
    StopHandle m_handle;
    std::atomic<bool> m_requested{false};  // the answer, with or without a handle
};

}  // namespace afx

// True once the process has begun to end (the main dialog has closed). Long
// waits of any thread (a sleep, a list call, a platform wait) give up at
// once. Set by the framework; window-free code may only read it.
bool AfxIsProcessEnding();
void AfxSetProcessEnding(bool ending);
