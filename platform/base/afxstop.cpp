// The calling thread's token and the process end; the token's event itself
// is in linux/ or windows/.
#include "platform/base/afxstop.h"

#include "platform/base/afxthread.h"

#include <atomic>

namespace afx {

namespace {
thread_local StopToken* t_token = nullptr;
}

bool StopToken::Requested() const
{
    return m_requested.load();
}

void StopToken::Install(StopToken* token)
{
    t_token = token;
}

bool StopRequested()
{
    return t_token != nullptr && t_token->Requested();
}

StopHandle StopWaitHandle()
{
    return t_token != nullptr ? t_token->Handle() : kNoStopHandle;
}

}  // namespace afx

namespace {
std::atomic<bool> g_processEnding{false};
}

bool AfxIsProcessEnding()
{
    return g_processEnding.load(std::memory_order_acquire);
}

void AfxSetProcessEnding(bool ending)
{
    g_processEnding.store(ending, std::memory_order_release);
    if (ending)
        afx::WakeSleepers();
}
