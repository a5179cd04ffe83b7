#include "platform/base/lock_wait.h"

#include "platform/base/afxstop.h"
#include "platform/base/statefile.h"

namespace afx {

bool WaitForLock(const std::function<LockTry()>& tryOnce, const std::function<void(unsigned)>& pause,
                 const std::string& path, std::string& error)
{
    for (unsigned waited = 0;; waited += kLockStepMs) {
        switch (tryOnce()) {
            case LockTry::Taken:
                return true;
            case LockTry::Failed:
                return false;
            case LockTry::Busy:
                break;
        }
        if (StopRequested() || AfxIsProcessEnding()) {
            error = path + ": interrupted while another process held the lock";
            return false;
        }
        if (waited >= kLockWaitMs) {
            error =
                path + ": held by another process for " + std::to_string(kLockWaitMs / 1000) + " s, given up";
            return false;
        }
        pause(kLockStepMs);
    }
}

}  // namespace afx
