// The state file over POSIX: XDG base directories, flock() and rename().
#include "platform/base/statefile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace afx {

namespace {

std::string HomeDirectory()
{
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return {};
}

// The base directory: $XDG_STATE_HOME when it is absolute (the XDG base
// directory rules say a relative one is to be ignored), else ~/.local/state.
std::string StateBase()
{
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg == '/')
        return xdg;
    const std::string home = HomeDirectory();
    return home.empty() ? std::string() : home + "/.local/state";
}

bool MakeDirectories(const std::string& path, std::string& error)
{
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = part + ": " + std::strerror(errno);
            return false;
        }
        if (slash == std::string::npos)
            return true;
    }
}

bool WriteAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string UserStatePath(const std::string& app, const std::string& file)
{
    const std::string base = StateBase();
    return (base.empty() ? std::string("~/.local/state") : base) + "/" + app +
           (file.empty() ? "" : "/" + file);
}

std::string UserStateDirectory(const std::string& app, std::string& error)
{
    const std::string base = StateBase();
    if (base.empty()) {
        error = "no home directory";
        return {};
    }
    const std::string dir = base + "/" + app;
    return MakeDirectories(dir, error) ? dir : std::string();
}

bool ReadWholeFile(const std::string& path, std::string& text, std::string& error)
{
    text.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return true;
        error = path + ": " + std::strerror(errno);
        return false;
    }
    char buffer[8192];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = path + ": " + std::strerror(errno);
            close(fd);
            return false;
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return true;
}

bool ReplaceFileContents(const std::string& path, const std::string& text, std::string& error)
{
    std::string temp = path + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    // mkostemp gives 0600 already: the hosts a user saw are the user's own.
    const bool written = WriteAll(fd, text) && fsync(fd) == 0;
    const int savedErrno = errno;
    if (close(fd) != 0 || !written) {
        error = path + ": " + std::strerror(written ? errno : savedErrno);
        unlink(temp.c_str());
        return false;
    }
    if (rename(temp.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        unlink(temp.c_str());
        return false;
    }
    // The rename itself reaches the disk with the directory.
    const std::string dir = path.substr(0, path.find_last_of('/'));
    if (const int dirFd = open(dir.empty() ? "/" : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

FileLock::FileLock(const std::string& path) : m_handle(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))
{
    if (m_handle < 0) {
        m_error = path + ": " + std::strerror(errno);
        return;
    }
    int result;
    while ((result = flock(static_cast<int>(m_handle), LOCK_EX)) != 0 && errno == EINTR) {
    }
    m_locked = result == 0;
    if (!m_locked)
        m_error = path + ": " + std::strerror(errno);
}

FileLock::~FileLock()
{
    // Closing releases the lock.
    if (m_handle >= 0)
        close(static_cast<int>(m_handle));
}

}  // namespace afx
