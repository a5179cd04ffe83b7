// Work carried out on the UI thread for workers, and the end of the process
// (the workers themselves are platform/base's).
#include "platform/ui/uicall.h"

#include "platform/base/afxstop.h"
#include "platform/ui/afxwin.h"

#include <wx/app.h>
#include <wx/thread.h>

#include <condition_variable>
#include <mutex>

namespace afx {
namespace {

using namespace std::chrono_literals;

// Guards the ending flag's transitions, the counts of list calls in flight
// and the list bindings the calls copy; sleepers wait on `wake`.
std::mutex g_mutex;
std::condition_variable g_wake;
int g_callsInFlight = 0;

// How often a waiting caller looks at its lifeline and the ending flag.
constexpr auto kPollStep = 5ms;

struct PendingCall {
    std::mutex mutex;
    std::condition_variable done_cv;
    bool started = false;    // the UI thread has taken it up
    bool abandoned = false;  // the caller gave up; never run it
    bool done = false;
    bool ran = false;
};

}  // namespace

bool RunOnUiThread(const std::weak_ptr<void>& lifeline, std::function<void()> work)
{
    if (wxThread::IsMain()) {
        const std::shared_ptr<void> alive = lifeline.lock();
        if (!alive)
            return false;
        work();
        return true;
    }
    wxAppConsole* app = wxTheApp;
    if (!app || AfxIsProcessEnding() || lifeline.expired())
        return false;

    auto call = std::make_shared<PendingCall>();
    app->CallAfter([call, lifeline, work = std::move(work)] {
        {
            std::lock_guard lock(call->mutex);
            if (call->abandoned)
                return;
            call->started = true;
        }
        bool ran = false;
        if (const std::shared_ptr<void> alive = lifeline.lock(); alive && !AfxIsProcessEnding()) {
            work();
            ran = true;
        }
        {
            std::lock_guard lock(call->mutex);
            call->done = true;
            call->ran = ran;
        }
        call->done_cv.notify_all();
    });

    std::unique_lock lock(call->mutex);
    while (!call->done) {
        // Once the UI thread has taken the call up it finishes it quickly;
        // before that, a closed window or the process end releases us.
        if (!call->started && (lifeline.expired() || AfxIsProcessEnding() || StopRequested())) {
            call->abandoned = true;
            return false;
        }
        call->done_cv.wait_for(lock, kPollStep);
    }
    return call->ran;
}

// ---------------------------------------------------------------- CallScope
CallScope::CallScope(int& busy) : m_busy(busy)
{
    std::lock_guard lock(g_mutex);
    if (AfxIsProcessEnding())
        return;
    ++m_busy;
    ++g_callsInFlight;
    m_entered = true;
}

CallScope::~CallScope()
{
    if (!m_entered)
        return;
    {
        std::lock_guard lock(g_mutex);
        --m_busy;
        --g_callsInFlight;
    }
    g_wake.notify_all();
}

void CallScope::Locked(const std::function<void()>& read)
{
    std::lock_guard lock(g_mutex);
    read();
}

void CallScope::WaitIdle(const int& busy)
{
    std::unique_lock lock(g_mutex);
    g_wake.wait(lock, [&] { return busy == 0; });
}

void BeginProcessEnd()
{
    std::unique_lock lock(g_mutex);
    AfxSetProcessEnding(true);  // wakes the workers' pauses too
    g_wake.notify_all();
    // Calls in flight see the flag within one poll step and return.
    g_wake.wait(lock, [] { return g_callsInFlight == 0; });
}

namespace testing {
void ResetProcessEnd()
{
    std::lock_guard lock(g_mutex);
    AfxSetProcessEnding(false);
}
}  // namespace testing

}  // namespace afx
