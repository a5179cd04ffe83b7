// Work carried out on the UI thread for workers, the workers themselves,
// sleeps, and the end of the process.
#include "platform/ui/uicall.h"

#include "platform/base/afxstop.h"
#include "platform/ui/afxwin.h"

#include <wx/app.h>
#include <wx/thread.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

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
    AfxSetProcessEnding(true);
    g_wake.notify_all();
    // Calls in flight see the flag within one poll step and return.
    g_wake.wait(lock, [] { return g_callsInFlight == 0; });
}

}  // namespace afx

// ------------------------------------------------------------------ workers
class CWinThread {
public:
    std::thread m_thread;
    std::atomic<bool> m_finished{false};
    LPVOID m_param = nullptr;
    afx::StopToken m_stop;
};

namespace {

std::mutex g_threadsMutex;
std::condition_variable g_threadsDone;
std::vector<std::unique_ptr<CWinThread>> g_threads;
std::atomic<bool> g_failNextStart{false};

// Joins the workers that have returned (caller holds g_threadsMutex).
void ReapFinished()
{
    std::erase_if(g_threads, [](std::unique_ptr<CWinThread>& t) {
        if (!t->m_finished.load())
            return false;
        if (t->m_thread.joinable())
            t->m_thread.join();
        return true;
    });
}

}  // namespace

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param)
{
    if (!proc || g_failNextStart.exchange(false))
        return nullptr;
    std::lock_guard lock(g_threadsMutex);
    ReapFinished();
    auto thread = std::make_unique<CWinThread>();
    CWinThread* raw = thread.get();
    raw->m_param = param;
    try {
        raw->m_thread = std::thread([raw, proc, param] {
            afx::StopToken::Install(&raw->m_stop);
            proc(param);  // its exit code: nothing asks for it
            afx::StopToken::Install(nullptr);
            {
                std::lock_guard done(g_threadsMutex);
                raw->m_finished.store(true);
            }
            g_threadsDone.notify_all();
        });
    } catch (const std::system_error&) {
        return nullptr;
    }
    g_threads.push_back(std::move(thread));
    return raw;
}

#ifndef _WIN32  // Windows has its own
void Sleep(DWORD ms)
{
    std::unique_lock lock(afx::g_mutex);
    afx::g_wake.wait_for(lock, std::chrono::milliseconds(ms),
                         [] { return AfxIsProcessEnding() || afx::StopRequested(); });
}
#endif

namespace afx {

bool JoinWorkers(std::chrono::milliseconds limit)
{
    std::unique_lock lock(g_threadsMutex);
    const bool allDone = g_threadsDone.wait_for(lock, limit, [] {
        for (const auto& t : g_threads)
            if (!t->m_finished.load())
                return false;
        return true;
    });
    ReapFinished();
    return allDone;
}

bool StopWorkersUsing(const void* param, std::chrono::milliseconds limit)
{
    std::unique_lock lock(g_threadsMutex);
    bool any = false;
    for (const auto& t : g_threads) {
        if (t->m_param == param && !t->m_finished.load()) {
            t->m_stop.Request();
            any = true;
        }
    }
    if (!any)
        return true;
    {
        // Wake the ones sleeping between probes.
        std::lock_guard wakeLock(g_mutex);
        g_wake.notify_all();
    }
    const bool stopped = g_threadsDone.wait_for(lock, limit, [param] {
        for (const auto& t : g_threads)
            if (t->m_param == param && !t->m_finished.load())
                return false;
        return true;
    });
    ReapFinished();
    return stopped;
}

namespace testing {
void FailNextThreadStart()
{
    g_failNextStart.store(true);
}
void ResetProcessEnd()
{
    std::lock_guard lock(g_mutex);
    AfxSetProcessEnding(false);
}
}  // namespace testing

}  // namespace afx
