// The workers, their stop tokens and their pauses.
#include "platform/base/afxthread.h"

#include "platform/base/afxstop.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

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
std::atomic<void (*)()> g_onStopRequested{nullptr};

// Pauses wait here; a stop request or the process end wakes them.
std::mutex g_sleepMutex;
std::condition_variable g_sleepWake;

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

bool AnyRunningWith(const void* param)
{
    return std::any_of(g_threads.begin(), g_threads.end(),
                       [param](const auto& t) { return t->m_param == param && !t->m_finished.load(); });
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
    std::unique_lock lock(g_sleepMutex);
    g_sleepWake.wait_for(lock, std::chrono::milliseconds(ms),
                         [] { return AfxIsProcessEnding() || afx::StopRequested(); });
}
#endif

namespace afx {

void WakeSleepers()
{
    // Taken and released after the flag was set: a sleeper either saw the
    // flag or is already waiting for this notification.
    {
        std::lock_guard lock(g_sleepMutex);
    }
    g_sleepWake.notify_all();
}

bool JoinWorkers(std::chrono::milliseconds limit)
{
    std::unique_lock lock(g_threadsMutex);
    const bool allDone = g_threadsDone.wait_for(lock, limit, [] {
        return std::all_of(g_threads.begin(), g_threads.end(),
                           [](const auto& t) { return t->m_finished.load(); });
    });
    ReapFinished();
    return allDone;
}

void StopWorkersUsing(const void* param)
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
        return;
    WakeSleepers();
    if (auto hook = g_onStopRequested.load())
        hook();
    // No time limit: a worker still inside a call would reach the object
    // after it was freed.
    g_threadsDone.wait(lock, [param] { return !AnyRunningWith(param); });
    ReapFinished();
}

namespace testing {
void FailNextThreadStart()
{
    g_failNextStart.store(true);
}
void OnStopRequested(void (*hook)())
{
    g_onStopRequested.store(hook);
}
}  // namespace testing

}  // namespace afx
