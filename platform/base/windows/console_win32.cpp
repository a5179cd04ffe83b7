// The console and Ctrl+C over Win32.
#include "platform/base/console.h"

#include "platform/base/afxstop.h"
#include "platform/base/wintypes.h"

#include <io.h>

#include <atomic>

namespace afx {

namespace {

std::atomic<StopToken*> g_interruptToken{nullptr};
std::atomic<bool> g_interrupted{false};

BOOL WINAPI OnConsoleControl(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    g_interrupted.store(true);
    if (StopToken* token = g_interruptToken.load())
        token->Request();
    return TRUE;
}

bool LeadsSomewhere(DWORD which)
{
    HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

}  // namespace

void PrepareStandardStreams() {}

void AttachParentConsole()
{
    const bool in = LeadsSomewhere(STD_INPUT_HANDLE), out = LeadsSomewhere(STD_OUTPUT_HANDLE),
               err = LeadsSomewhere(STD_ERROR_HANDLE);
    if ((in && out && err) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!out)
        std::freopen("CONOUT$", "w", stdout);
    if (!err)
        std::freopen("CONOUT$", "w", stderr);
    if (!in)
        std::freopen("CONIN$", "r", stdin);
}

bool IsTerminal(std::FILE* stream)
{
    return _isatty(_fileno(stream)) != 0;
}

void StopOnInterrupt(StopToken* token)
{
    g_interruptToken.store(token);
    SetConsoleCtrlHandler(OnConsoleControl, token ? TRUE : FALSE);
}

bool Interrupted()
{
    return g_interrupted.load();
}

void SleepUnlessStopped(unsigned ms)
{
    HANDLE stop = StopWaitHandle();
    if (stop != nullptr)
        WaitForSingleObject(stop, ms);
    else if (!StopRequested())
        Sleep(ms);
}

}  // namespace afx
