// The lab guard: anything that can put a frame on a wire calls
// RequireLabNamespace() first, so that it only ever sends inside a lab built
// by tools/orvane-lab (a network namespace of its own, every adapter with
// the lab MAC prefix) and never on the machine's real interfaces.
#pragma once

#include <string>

// Locally administered, so never a real vendor's address.
inline constexpr unsigned char kLabMacPrefix[3] = {0x02, 0x4f, 0x52};

// Empty when the calling thread's network namespace is not the initial one;
// otherwise why not. Enough for code that only reads (sends nothing).
std::string NotInitialNamespaceProblem();

// Empty when NotInitialNamespaceProblem() is and every non-loopback
// interface of the calling thread's namespace carries kLabMacPrefix;
// otherwise why not (the first offending interface is named).
std::string LabNamespaceProblem();

// Prints "<who>: refusing to run: <problem>" to stderr and exits with
// status 3 unless LabNamespaceProblem() is empty.
void RequireLabNamespace(const char* who);

// Moves the calling thread (only it) into /run/netns/<name>, or into the
// namespace file <name> when it contains a '/'. False, with errno set, on
// failure.
bool EnterNetNamespace(const std::string& name);
