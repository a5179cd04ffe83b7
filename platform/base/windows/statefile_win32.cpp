// The state file over Win32: the Local AppData known folder, LockFileEx()
// and MoveFileExW() (a plain rename will not replace an existing file
// there). Paths are UTF-8 here and wide at the system, so that a profile
// outside the ANSI code page works.
#include "platform/base/statefile.h"

#include "platform/base/lock_wait.h"
#include "platform/base/wintypes.h"

#include <aclapi.h>
#include <knownfolders.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace afx {

namespace {

std::wstring Wide(const std::string& text)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string Utf8(const std::wstring& wide)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string text(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr,
                            nullptr);
    return text;
}

std::string ErrorText(const std::string& path, DWORD code)
{
    wchar_t text[256] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, 256,
                   nullptr);
    std::string message = Utf8(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return path + ": " + (message.empty() ? "error " + std::to_string(code) : message);
}

// The user's Local AppData folder, from the shell (the environment may be
// missing or stale); empty when there is none, so nothing is then read from
// wherever the program was started.
std::string StateBase()
{
    PWSTR folder = nullptr;
    std::string base;
    if (SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DONT_VERIFY, nullptr, &folder) == S_OK && folder)
        base = Utf8(folder);
    CoTaskMemFree(folder);
    if (base.empty())
        if (const wchar_t* local = _wgetenv(L"LOCALAPPDATA"); local && *local)
            base = Utf8(local);
    // Only an absolute path ("C:\..." or "\\server\...").
    const bool absolute = base.size() > 2 && ((base[1] == ':' && (base[2] == '\\' || base[2] == '/')) ||
                                              (base[0] == '\\' && base[1] == '\\'));
    return absolute ? base : std::string();
}

// Windows names its per-user folders after the program, capitalised.
std::string FolderName(const std::string& app)
{
    std::string name = app;
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z')
        name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return name;
}

std::string DirectoryOf(const std::string& path)
{
    return path.substr(0, path.find_last_of('\\'));
}

// Whether the current user owns `handle`'s file. Where the system cannot
// tell (a file system without owners), it is trusted as before.
bool OwnedByUser(HANDLE handle)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return true;
    bool ours = true;
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::unique_ptr<BYTE[]> buffer(new BYTE[size ? size : 1]);
        if (size && GetTokenInformation(token, TokenUser, buffer.get(), size, &size)) {
            const auto* user = reinterpret_cast<TOKEN_USER*>(buffer.get());
            // Administrators may own what they create for themselves.
            ours = EqualSid(owner, user->User.Sid) || IsWellKnownSid(owner, WinBuiltinAdministratorsSid);
        }
        CloseHandle(token);
    }
    LocalFree(descriptor);
    return ours;
}

// Opens `path` without following a reparse point (a link or junction that
// someone else planted); refused when it is one or another user owns it.
HANDLE OpenTrusted(const std::string& path, DWORD access, DWORD disposition, DWORD flags, std::string& error,
                   DWORD& code)
{
    HANDLE handle =
        CreateFileW(Wide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, disposition, flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    code = GetLastError();
    if (handle == INVALID_HANDLE_VALUE) {
        error = ErrorText(path, code);
        return handle;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !OwnedByUser(handle)) {
        error = path + ": not used: a link, or not the user's own";
        CloseHandle(handle);
        code = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

bool TrustedDirectory(const std::string& dir, std::string& error, bool& missing)
{
    DWORD code = 0;
    HANDLE handle = OpenTrusted(dir, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, error, code);
    missing =
        handle == INVALID_HANDLE_VALUE && (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(handle);
    return true;
}

}  // namespace

std::string UserStatePath(const std::string& app, const std::string& file)
{
    const std::string base = StateBase();
    if (base.empty())
        return {};
    return base + "\\" + FolderName(app) + (file.empty() ? "" : "\\" + file);
}

std::string UserStateDirectory(const std::string& app, std::string& error)
{
    const std::string base = StateBase();
    if (base.empty()) {
        error = "no Local AppData folder";
        return {};
    }
    const std::string dir = base + "\\" + FolderName(app);
    if (!CreateDirectoryW(Wide(dir).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        error = ErrorText(dir, GetLastError());
        return {};
    }
    bool missing = false;
    return TrustedDirectory(dir, error, missing) ? dir : std::string();
}

bool ReadWholeFile(const std::string& path, std::string& text, std::string& error)
{
    text.clear();
    bool missing = false;
    if (!TrustedDirectory(DirectoryOf(path), error, missing))
        return missing;
    DWORD code = 0;
    HANDLE file = OpenTrusted(path, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, error, code);
    if (file == INVALID_HANDLE_VALUE)
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
    LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size) ||
        size.QuadPart > static_cast<LONGLONG>(kMaxStateFileBytes)) {
        error = path + ": not a file, or larger than " + std::to_string(kMaxStateFileBytes / (1024 * 1024)) +
                " MiB: not read";
        CloseHandle(file);
        return false;
    }
    char buffer[8192];
    DWORD n = 0;
    BOOL ok;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &n, nullptr)) && n > 0) {
        if (text.size() + n > kMaxStateFileBytes) {
            error = path + ": grew past its limit while being read, not read";
            text.clear();
            CloseHandle(file);
            return false;
        }
        text.append(buffer, n);
    }
    if (!ok)
        error = ErrorText(path, GetLastError());
    CloseHandle(file);
    return ok != FALSE;
}

bool ReplaceFileContents(const std::string& path, const std::string& text, std::string& error)
{
    bool missing = false;
    if (!TrustedDirectory(DirectoryOf(path), error, missing))
        return false;
    const std::wstring temp = Wide(path + ".new" + std::to_string(GetCurrentProcessId()));
    HANDLE file =
        CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = ErrorText(Utf8(temp), GetLastError());
        return false;
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size() && FlushFileBuffers(file);
    const DWORD code = GetLastError();
    CloseHandle(file);
    if (!ok ||
        !MoveFileExW(temp.c_str(), Wide(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = ErrorText(path, ok ? GetLastError() : code);
        DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

FileLock::FileLock(const std::string& path) : m_handle(reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE))
{
    bool missing = false;
    if (!TrustedDirectory(DirectoryOf(path), m_error, missing))
        return;
    DWORD code = 0;
    HANDLE file =
        OpenTrusted(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, m_error, code);
    m_handle = reinterpret_cast<std::intptr_t>(file);
    if (file == INVALID_HANDLE_VALUE)
        return;
    m_locked = WaitForLock(
        [&] {
            OVERLAPPED whole{};
            if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole))
                return LockTry::Taken;
            const DWORD code = GetLastError();
            if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING)
                return LockTry::Busy;
            m_error = ErrorText(path, code);
            return LockTry::Failed;
        },
        [](unsigned ms) { Sleep(ms); }, path, m_error);
}

FileLock::~FileLock()
{
    // Closing the handle releases the lock.
    HANDLE file = reinterpret_cast<HANDLE>(m_handle);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
}

}  // namespace afx
