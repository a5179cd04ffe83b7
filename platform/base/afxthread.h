// Worker threads: starting them, their pauses, and waiting for them when
// what they were handed goes away. Needs no window system. (No <chrono>
// here: the program's GBK translation units cannot take it; JoinWorkers is
// declared in platform/ui/uicall.h.)
#pragma once

#include "platform/base/wintypes.h"

using AFX_THREADPROC = UINT (*)(LPVOID);
class CWinThread;
// Starts a worker at once with normal priority and the default stack. Its
// return value is its exit code; nothing waits for it. nullptr when it
// could not be started.
CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param);
#ifndef _WIN32
// A pause of `ms` milliseconds; it ends early when the process ends or the
// calling worker is asked to stop.
void Sleep(DWORD ms);
#endif

namespace afx {

// For an object handed to workers that is about to go away: asks every
// running worker started with `param` to stop (its pauses, ARP waits and
// list calls end at once) and returns when all of them have returned and
// been joined, however long a call one of them is blocked in takes (an ARP
// request on Windows cannot be cut short). The object may be freed then.
void StopWorkersUsing(const void* param);

// Ends the pauses of every worker early; for the process end.
void WakeSleepers();

namespace testing {
// The next AfxBeginThread() fails as if the system refused the thread.
void FailNextThreadStart();
// Called by StopWorkersUsing() once it has asked the workers to stop and
// before it waits for them, so that a test can mark that moment; nullptr
// for none.
void OnStopRequested(void (*hook)());
}  // namespace testing

}  // namespace afx
