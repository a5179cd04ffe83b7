// Waiting for a lock another process holds, the same on every system: tried
// without blocking in short steps, given up after a while or at once on a
// stop, so an interrupted command or a closed dialog never hangs on it.
#pragma once

#include <functional>
#include <string>

namespace afx {

enum class LockTry { Taken, Busy, Failed };

// Calls `tryOnce` until it answers Taken (true) or Failed, or until a stop
// is requested or the bound passes (false, with `error` saying which about
// `path`); `pause(ms)` sleeps between tries. On Failed, `tryOnce` set
// `error` itself.
bool WaitForLock(const std::function<LockTry()>& tryOnce, const std::function<void(unsigned)>& pause,
                 const std::string& path, std::string& error);

}  // namespace afx
