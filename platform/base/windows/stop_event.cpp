// The stop token over a manual-reset event object, so that
// WaitForMultipleObjects() can wait for it beside other handles.
#include "platform/base/afxstop.h"

#include "platform/base/wintypes.h"

namespace afx {

StopToken::StopToken() : m_handle(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

StopToken::~StopToken()
{
    if (m_handle != nullptr)
        CloseHandle(m_handle);
}

void StopToken::Request()
{
    m_requested.store(true);
    // Manual reset: once set, it stays signalled.
    if (m_handle != nullptr)
        SetEvent(m_handle);
}

}  // namespace afx
