// A small per-user state file: where it lives, an exclusive lock between
// processes, and replacing it whole so that a reader never sees half of it.
// One backend per system (linux/, windows/).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace afx {

// The largest state file read; a bigger one is refused, not read.
inline constexpr std::size_t kMaxStateFileBytes = 4 * 1024 * 1024;
// How long a lock held by another process is waited for, in steps that
// watch the calling thread's stop token and the end of the process.
inline constexpr unsigned kLockWaitMs = 10000;
inline constexpr unsigned kLockStepMs = 20;

// The program's per-user state directory, created (owner only) if missing:
// $XDG_STATE_HOME/<app>, else ~/.local/state/<app> on Linux;
// %LOCALAPPDATA%\<App> on Windows. Empty with `error` set when there is
// none to be had, or when the directory is not trusted: it must be the
// user's own and writable by nobody else (on Windows: no reparse point,
// owned by the user).
std::string UserStateDirectory(const std::string& app, std::string& error);

// The same path without creating anything (for reading and for messages);
// empty when there is no base directory (no home, no local application
// data): nothing is then read or written.
std::string UserStatePath(const std::string& app, const std::string& file);

// The whole file; false when it cannot be read or is not trusted (its
// directory as above; a link, a device, a FIFO, someone else's file or one
// over kMaxStateFileBytes). A missing file reads as empty and true.
bool ReadWholeFile(const std::string& path, std::string& text, std::string& error);

// Writes `text` to a temporary file beside `path`, flushes it to the disk
// and renames it over `path`: the file is the old one or the new one, never
// a mix, whatever happens in between.
bool ReplaceFileContents(const std::string& path, const std::string& text, std::string& error);

// Holds an exclusive lock on `path` (created if missing, never through a
// link) from construction to destruction. Another process's lock is waited
// for up to kLockWaitMs, and not at all once a stop is requested.
class FileLock {
public:
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool Locked() const { return m_locked; }
    const std::string& Error() const { return m_error; }

private:
    std::intptr_t m_handle;
    bool m_locked = false;
    std::string m_error;
};

}  // namespace afx
