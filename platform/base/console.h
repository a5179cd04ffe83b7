// What a command run from a terminal needs of the system: the console of a
// window program on Windows, whether a stream is a terminal, Ctrl+C, and a
// sleep that Ctrl+C cuts short. One backend per system (linux/, windows/).
#pragma once

#include <cstdio>

namespace afx {

class StopToken;

// Windows builds the program as a window program, which starts with no
// console: this attaches it to the console of the process that started it,
// for the streams that lead nowhere (a redirected stream is kept). Nothing
// to do elsewhere.
void AttachParentConsole();

// Before anything opens a file: descriptors 0-2 left closed by the caller
// are opened on /dev/null (else the next file or eventfd would take one and
// receive the output meant for it), and a write to a closed pipe fails
// (EPIPE) instead of ending the process, so a command ends cleanly and
// keeps what it found. Nothing to do on Windows.
void PrepareStandardStreams();

// Whether all that was written to `stream` reached it (flushed, no error):
// a full disk, a closed pipe or descriptor make it false.
inline bool OutputReached(std::FILE* stream)
{
    return std::fflush(stream) == 0 && !std::ferror(stream);
}

bool IsTerminal(std::FILE* stream);

// From now on an interrupt (SIGINT, Ctrl+C) requests `token` and is
// remembered instead of ending the process; nullptr gives the system's
// handling back.
void StopOnInterrupt(StopToken* token);
bool Interrupted();

// Sleeps `ms` milliseconds, or less once a stop is requested for the
// calling thread.
void SleepUnlessStopped(unsigned ms);

}  // namespace afx
