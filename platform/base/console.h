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
