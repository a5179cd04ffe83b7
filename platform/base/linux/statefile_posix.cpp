// The state file over POSIX: XDG base directories, flock() and rename().
#include "platform/base/statefile.h"

#include "platform/base/lock_wait.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

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

std::string DirectoryOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    return path.substr(path.find_last_of('/') + 1);
}

// The state directory, opened without following a link at its last step.
// Someone else's, or one others may write to, could hold any file they
// planted: it is refused, and nothing in it is read or written.
int OpenTrustedDirectory(const std::string& dir, std::string& error, bool& missing)
{
    missing = false;
    const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        missing = errno == ENOENT;
        error = dir + ": " + (errno == ELOOP || errno == ENOTDIR ? "not a directory" : std::strerror(errno));
        return -1;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || st.st_uid != geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        error = dir + ": not used: it must belong to you and be writable by you alone";
        close(fd);
        return -1;
    }
    return fd;
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
    // No base directory: no path at all, rather than one relative to
    // wherever the program was started.
    const std::string base = StateBase();
    if (base.empty())
        return {};
    return base + "/" + app + (file.empty() ? "" : "/" + file);
}

std::string UserStateDirectory(const std::string& app, std::string& error)
{
    const std::string base = StateBase();
    if (base.empty()) {
        error = "no home directory";
        return {};
    }
    const std::string dir = base + "/" + app;
    if (!MakeDirectories(dir, error))
        return {};
    bool missing = false;
    const int fd = OpenTrustedDirectory(dir, error, missing);
    if (fd < 0)
        return {};
    close(fd);
    return dir;
}

bool ReadWholeFile(const std::string& path, std::string& text, std::string& error)
{
    text.clear();
    bool missing = false;
    const int dirFd = OpenTrustedDirectory(DirectoryOf(path), error, missing);
    if (dirFd < 0)
        return missing;
    // Not blocking: a FIFO in the file's place must not hang the program.
    const int fd = openat(dirFd, NameOf(path).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    const int openErrno = errno;
    close(dirFd);
    if (fd < 0) {
        if (openErrno == ENOENT)
            return true;
        error = path + ": " + (openErrno == ELOOP ? "a symbolic link, not used" : std::strerror(openErrno));
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
        error = path + ": not a regular file of yours, not used";
        close(fd);
        return false;
    }
    if (st.st_size > static_cast<off_t>(kMaxStateFileBytes)) {
        error =
            path + ": larger than " + std::to_string(kMaxStateFileBytes / (1024 * 1024)) + " MiB, not read";
        close(fd);
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
        // It may grow while being read.
        if (text.size() + static_cast<std::size_t>(n) > kMaxStateFileBytes) {
            error = path + ": grew past its limit while being read, not read";
            text.clear();
            close(fd);
            return false;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return true;
}

bool ReplaceFileContents(const std::string& path, const std::string& text, std::string& error)
{
    bool missing = false;
    const int trusted = OpenTrustedDirectory(DirectoryOf(path), error, missing);
    if (trusted < 0)
        return false;
    close(trusted);
    // In a directory only we can write to, the temporary name (made with
    // O_EXCL) and the rename (which replaces a link, never follows it) are
    // ours alone.
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

FileLock::FileLock(const std::string& path) : m_handle(-1)
{
    bool missing = false;
    const int dirFd = OpenTrustedDirectory(DirectoryOf(path), m_error, missing);
    if (dirFd < 0)
        return;
    m_handle =
        openat(dirFd, NameOf(path).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    const int openErrno = errno;
    close(dirFd);
    struct stat st {};
    if (m_handle < 0 || fstat(static_cast<int>(m_handle), &st) != 0 || !S_ISREG(st.st_mode)) {
        m_error =
            path + ": " +
            (m_handle < 0 && openErrno != ELOOP ? std::strerror(openErrno) : "not a regular file, not used");
        return;
    }
    const int fd = static_cast<int>(m_handle);
    m_locked = WaitForLock(
        [&] {
            if (flock(fd, LOCK_EX | LOCK_NB) == 0)
                return LockTry::Taken;
            if (errno == EWOULDBLOCK || errno == EINTR)
                return LockTry::Busy;
            m_error = path + ": " + std::strerror(errno);
            return LockTry::Failed;
        },
        [](unsigned ms) {
            const timespec step{0, static_cast<long>(ms) * 1000000L};
            nanosleep(&step, nullptr);
        },
        path, m_error);
}

FileLock::~FileLock()
{
    // Closing releases the lock.
    if (m_handle >= 0)
        close(static_cast<int>(m_handle));
}

}  // namespace afx
