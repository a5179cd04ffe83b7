// A small per-user state file: where it lives, an exclusive lock between
// processes, and replacing it whole so that a reader never sees half of it.
// One backend per system (linux/, windows/).
#pragma once

#include <cstdint>
#include <string>

namespace afx {

// The program's per-user state directory, created (owner only) if missing:
// $XDG_STATE_HOME/<app>, else ~/.local/state/<app> on Linux;
// %LOCALAPPDATA%\<App> on Windows. Empty with `error` set when there is
// none to be had.
std::string UserStateDirectory(const std::string& app, std::string& error);

// The same path without creating anything (for reading and for messages).
std::string UserStatePath(const std::string& app, const std::string& file);

// The whole file; false when it cannot be read (a missing file reads as
// empty and true).
bool ReadWholeFile(const std::string& path, std::string& text, std::string& error);

// Writes `text` to a temporary file beside `path`, flushes it to the disk
// and renames it over `path`: the file is the old one or the new one, never
// a mix, whatever happens in between.
bool ReplaceFileContents(const std::string& path, const std::string& text, std::string& error);

// Holds an exclusive lock on `path` (created if missing) from construction
// to destruction; other processes taking the same lock wait.
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
