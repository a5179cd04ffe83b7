// A worker thread's stop request. The framework raises it when what the
// worker was given (the dialog's host list) is about to go away; blocking
// services (sleeps, ARP waits) watch it so the worker can be joined at once.
// Needs no window system.
#pragma once

namespace afx {

class StopToken;

// The calling thread's token, or nullptr for a thread the framework did not
// start (the UI thread, a test's own thread).
StopToken* CurrentStopToken();

// True once a stop was requested for the calling thread.
bool StopRequested();

// A descriptor that becomes readable once a stop is requested for the
// calling thread, for poll(); -1 when the thread has no token.
int StopEventFd();

class StopToken {
public:
    StopToken();
    ~StopToken();
    StopToken(const StopToken&) = delete;
    StopToken& operator=(const StopToken&) = delete;

    void Request();
    bool Requested() const;
    int EventFd() const { return m_eventFd; }

    // Makes this the calling thread's token (nullptr: none).
    static void Install(StopToken* token);

private:
    int m_eventFd;
};

}  // namespace afx
