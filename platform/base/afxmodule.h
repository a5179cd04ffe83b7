// The running program's own file.
#pragma once

#include <string>

// The executable's path as UTF-8. On Windows the system's (GetModuleFileNameW):
// argv is in the ANSI code page there and loses what it cannot hold. Elsewhere
// `argv0` itself (empty for null), whose bytes are already the name's.
std::string AfxModulePathUtf8(const char* argv0);
