// Carrying out work on the UI thread on behalf of another thread, and the
// end of the process as the waiting threads see it.
#pragma once

// The workers themselves are window-free.
#include "platform/base/afxthread.h"

#include <chrono>
#include <functional>
#include <memory>

namespace afx {

// Runs `work` on the UI thread while `lifeline` is alive and returns true
// once it has run. From the UI thread it runs inline. From another thread
// the call is queued to the UI thread (it is carried out inside any modal
// loop too, message boxes included) and the caller waits; it returns false
// without running `work` when the lifeline has expired (before the call
// comes up, or while the caller waits) or the process is ending. Once it has
// returned false, `work` never runs, so `work` may refer to the caller's
// stack.
bool RunOnUiThread(const std::weak_ptr<void>& lifeline, std::function<void()> work);

// Waits until every worker started by AfxBeginThread has returned, at most
// `limit`; joins them. True when none is left running. (Defined with the
// workers, in platform/base/afxthread.cpp.)
bool JoinWorkers(std::chrono::milliseconds limit);

// Begins the end of the process (UI thread): from now on sleeps and list
// calls return at once and waiting callers give up. Returns when no list
// call is in flight any more.
void BeginProcessEnd();

// A list call in flight: counts itself so that BeginProcessEnd() can wait
// for it; refuses (false) once the process is ending. `busy` is the count
// of the object the call is made on, guarded by the same lock.
class CallScope {
public:
    explicit CallScope(int& busy);
    ~CallScope();
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;
    explicit operator bool() const { return m_entered; }

    // Runs `read` under the lock that guards bindings (for copying them).
    static void Locked(const std::function<void()>& read);
    // Waits until `busy` is 0 (for an object that goes away).
    static void WaitIdle(const int& busy);

private:
    int& m_busy;
    bool m_entered = false;
};

namespace testing {
// Undoes BeginProcessEnd(), for tests that end the "process" and go on.
void ResetProcessEnd();
}  // namespace testing

}  // namespace afx
