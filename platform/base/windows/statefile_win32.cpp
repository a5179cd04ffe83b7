// The state file over Win32: %LOCALAPPDATA%, LockFileEx() and
// MoveFileEx() (a plain rename will not replace an existing file there).
#include "platform/base/statefile.h"

#include "platform/base/wintypes.h"

#include <cstdio>
#include <cstdlib>

namespace afx {

namespace {

std::string ErrorText(const std::string& path, DWORD code)
{
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                   sizeof text, nullptr);
    std::string message = text;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return path + ": " + (message.empty() ? "error " + std::to_string(code) : message);
}

std::string StateBase()
{
    const char* local = std::getenv("LOCALAPPDATA");
    return local && *local ? local : std::string();
}

// Windows names its per-user folders after the program, capitalised.
std::string FolderName(const std::string& app)
{
    std::string name = app;
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z')
        name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return name;
}

}  // namespace

std::string UserStatePath(const std::string& app, const std::string& file)
{
    const std::string base = StateBase();
    return (base.empty() ? std::string("%LOCALAPPDATA%") : base) + "\\" + FolderName(app) +
           (file.empty() ? "" : "\\" + file);
}

std::string UserStateDirectory(const std::string& app, std::string& error)
{
    const std::string base = StateBase();
    if (base.empty()) {
        error = "LOCALAPPDATA is not set";
        return {};
    }
    const std::string dir = base + "\\" + FolderName(app);
    if (!CreateDirectoryA(dir.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        error = ErrorText(dir, GetLastError());
        return {};
    }
    return dir;
}

bool ReadWholeFile(const std::string& path, std::string& text, std::string& error)
{
    text.clear();
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
            return true;
        error = ErrorText(path, code);
        return false;
    }
    char buffer[8192];
    DWORD n = 0;
    BOOL ok;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &n, nullptr)) && n > 0)
        text.append(buffer, n);
    if (!ok)
        error = ErrorText(path, GetLastError());
    CloseHandle(file);
    return ok != FALSE;
}

bool ReplaceFileContents(const std::string& path, const std::string& text, std::string& error)
{
    const std::string temp = path + ".new" + std::to_string(GetCurrentProcessId());
    HANDLE file =
        CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = ErrorText(temp, GetLastError());
        return false;
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size() && FlushFileBuffers(file);
    const DWORD code = GetLastError();
    CloseHandle(file);
    if (!ok || !MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = ErrorText(path, ok ? GetLastError() : code);
        DeleteFileA(temp.c_str());
        return false;
    }
    return true;
}

FileLock::FileLock(const std::string& path)
    : m_handle(reinterpret_cast<std::intptr_t>(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)))
{
    HANDLE file = reinterpret_cast<HANDLE>(m_handle);
    if (file == INVALID_HANDLE_VALUE) {
        m_error = ErrorText(path, GetLastError());
        return;
    }
    OVERLAPPED whole{};
    m_locked = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole) != FALSE;
    if (!m_locked)
        m_error = ErrorText(path, GetLastError());
}

FileLock::~FileLock()
{
    // Closing the handle releases the lock.
    HANDLE file = reinterpret_cast<HANDLE>(m_handle);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
}

}  // namespace afx
