// What the log does on Windows: its place (the Program Files folders are
// the system's, the user's own folder is %LOCALAPPDATA%\Tobrik), the
// folder access through the owner and access list, and the file calls,
// all through the wide-character calls, so that a path may hold characters
// outside the ANSI code page.

#include "LogFolderAccess.h"
#include "LogLocation.h"
#include "ResultLog.h"
#include "SystemCodePage.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <string_view>
#include <windows.h>
// After windows.h:
#include <aclapi.h>

namespace tobrik::log {

using tobrik::text::Utf8ToWide;
using tobrik::text::WideToUtf8;

// ---- The log's place -------------------------------------------------------

namespace {

// The prefixes of long paths: \\?\UNC\server\share stands for
// \\server\share, \\?\C:\ for C:\.
constexpr std::string_view kLongUncPrefix = "\\\\?\\UNC\\";
constexpr std::string_view kUncPrefix = "\\\\";
constexpr std::string_view kLongPrefix = "\\\\?\\";

// Compared without regard to case or the kind of slash, as Windows does, and
// without the prefix of long paths.
std::string comparable(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    if (path.starts_with(kLongUncPrefix))
        path.replace(0, kLongUncPrefix.size(), kUncPrefix);
    else if (path.starts_with(kLongPrefix))
        path.erase(0, kLongPrefix.size());
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    std::transform(path.begin(), path.end(), path.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return path;
}

bool isInside(const std::string& directory, const std::string& folder) {
    const std::string inner = comparable(directory);
    const std::string outer = comparable(folder);
    return !outer.empty() && inner.compare(0, outer.size(), outer) == 0 &&
           (inner.size() == outer.size() || inner[outer.size()] == '\\');
}

} // namespace

const char kPathSeparator = '\\';

// Both sides in their long forms: C:\PROGRA~1 is C:\Program Files.
bool IsSystemProgramFolder(const std::string& directory, LogFolderAccess& access) {
    const std::string longDirectory = access.longPath(directory);
    for (const char* name : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432"}) {
        const std::string folder = access.variable(name);
        if (!folder.empty() && isInside(longDirectory, access.longPath(folder)))
            return true;
    }
    return false;
}

std::string UserLogFolder(LogFolderAccess& access) {
    const std::string local = access.variable("LOCALAPPDATA");
    return local.empty() ? std::string() : access.longPath(local) + "\\Tobrik";
}

// ---- The folder access -----------------------------------------------------

namespace {

// Rights that let someone put a file into a folder or take one away, or
// give themselves these rights.
constexpr ACCESS_MASK kWriteRights = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD |
                                     DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// This user as the process's token names it: its SID, and whether it
// belongs to the Administrators (also where that membership serves only to
// deny, as for an administrator's token that is not elevated).
class ThisUser {
  public:
    ThisUser() {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
            return;
        user_ = information(token, TokenUser);
        const std::vector<unsigned char> groups = information(token, TokenGroups);
        CloseHandle(token);
        if (groups.empty())
            return;
        const auto* list = reinterpret_cast<const TOKEN_GROUPS*>(groups.data());
        for (DWORD i = 0; i < list->GroupCount; ++i)
            administrator_ =
                administrator_ || IsWellKnownSid(list->Groups[i].Sid, WinBuiltinAdministratorsSid);
    }

    bool is(PSID sid) const {
        return !user_.empty() &&
               EqualSid(sid, reinterpret_cast<const TOKEN_USER*>(user_.data())->User.Sid);
    }
    // An owner that gives no one but this user a say over the folder.
    bool trustsOwner(PSID owner) const {
        return is(owner) || (administrator_ && IsWellKnownSid(owner, WinBuiltinAdministratorsSid));
    }
    // One whose right to write the folder gives no one else a way in: this
    // user, the system, the administrators, or the folder's owner as such.
    bool trustsWriter(PSID sid) const {
        return is(sid) || IsWellKnownSid(sid, WinLocalSystemSid) ||
               IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
               IsWellKnownSid(sid, WinCreatorOwnerSid) ||
               IsWellKnownSid(sid, WinCreatorOwnerRightsSid);
    }

  private:
    static std::vector<unsigned char> information(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
        DWORD size = 0;
        GetTokenInformation(token, kind, nullptr, 0, &size);
        std::vector<unsigned char> bytes(size);
        if (size == 0 || !GetTokenInformation(token, kind, bytes.data(), size, &size))
            bytes.clear();
        return bytes;
    }

    std::vector<unsigned char> user_; // TOKEN_USER
    bool administrator_ = false;
};

// Whether an entry of the list lets another than those trusted write. An
// entry that only children inherit counts too: the log would inherit it.
bool listLetsOthersWrite(PACL list, const ThisUser& user) {
    for (DWORD i = 0; i < list->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(list, i, &entry) ||
            static_cast<ACE_HEADER*>(entry)->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        if ((allowed->Mask & kWriteRights) != 0 && !user.trustsWriter(&allowed->SidStart))
            return true;
    }
    return false;
}

} // namespace

// GetEnvironmentVariableW reads the process's own wide environment: the C
// library's _wgetenv, in a program with a narrow main, converts the ANSI
// environment, which turns a user name outside the ANSI code page into "?".
std::string LogFolderAccess::variable(const std::string& name) {
    const std::wstring wide = Utf8ToWide(name);
    std::wstring value;
    for (DWORD size = 0;;) {
        const DWORD length = GetEnvironmentVariableW(wide.c_str(), value.data(), size);
        if (length == 0)
            return {};
        if (length < size) {
            value.resize(length);
            return WideToUtf8(value);
        }
        size = length;
        value.resize(size);
    }
}

std::string LogFolderAccess::accountHome() {
    return {};
}

// A folder without an access list lets everyone in.
bool LogFolderAccess::othersMayWrite(const std::string& folder) {
    std::vector<unsigned char> descriptor = security(folder);
    PSID owner = nullptr;
    PACL list = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    if (descriptor.empty() || !GetSecurityDescriptorOwner(descriptor.data(), &owner, &defaulted) ||
        !GetSecurityDescriptorDacl(descriptor.data(), &present, &list, &defaulted))
        return false;
    const ThisUser user;
    return !owner || !user.trustsOwner(owner) || !present || !list ||
           listLetsOthersWrite(list, user);
}

// _waccess tells only whether a folder exists: the folder's access control
// decides whether a file may be made there. So one is made, which Windows
// deletes as its handle closes (or the process ends).
bool LogFolderAccess::mayWrite(const std::string& folder) {
    const std::wstring probe =
        Utf8ToWide(folder) + L"\\tobrik-probe-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    const HANDLE file = CreateFileW(
        probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

bool LogFolderAccess::makeFolder(const std::string& folder, std::string& error) {
    if (_wmkdir(Utf8ToWide(folder).c_str()) == 0 || errno == EEXIST)
        return true;
    error = std::strerror(errno);
    return false;
}

// GetLongPathNameW says how long the long form is when it does not fit.
std::string LogFolderAccess::longPath(const std::string& path) {
    const std::wstring wide = Utf8ToWide(path);
    std::wstring longer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetLongPathNameW(wide.c_str(), longer.data(), static_cast<DWORD>(longer.size()));
        if (length == 0)
            return path;
        if (length < longer.size()) {
            longer.resize(length);
            return WideToUtf8(longer);
        }
        longer.resize(length);
    }
}

std::vector<unsigned char> LogFolderAccess::security(const std::string& folder) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(Utf8ToWide(folder).c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return {};
    const auto* bytes = static_cast<const unsigned char*>(descriptor);
    std::vector<unsigned char> copy(bytes, bytes + GetSecurityDescriptorLength(descriptor));
    LocalFree(descriptor);
    return copy;
}

// ---- The result log's file calls -------------------------------------------

namespace {

// The C library's number for the reasons an open can fail for, so that the
// reason reads as on Linux.
int errnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return ENOENT;
    case ERROR_INVALID_NAME:
        return EINVAL;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    default:
        return EIO;
    }
}

// A reparse point (a symbolic link, a junction) or a file of more than one
// name where another could have made it: whoever put it where the log is
// to be would have the sweep empty the file it names. A folder, or what is
// no file on a disk, keeps no log.
LogRefusal refusalOf(HANDLE file, const BY_HANDLE_FILE_INFORMATION& info, FolderWriters writers) {
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return LogRefusal::Link;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        GetFileType(file) != FILE_TYPE_DISK)
        return LogRefusal::NotAFile;
    if (info.nNumberOfLinks > 1 && writers == FolderWriters::Others)
        return LogRefusal::Link;
    return LogRefusal::None;
}

// Closes file, keeping the reason of the failure before.
std::FILE* fail(HANDLE file, DWORD error) {
    CloseHandle(file);
    errno = errnoOf(error);
    return nullptr;
}

} // namespace

// The file itself is looked at (FILE_FLAG_OPEN_REPARSE_POINT), with no
// access to its content; a folder too (FILE_FLAG_BACKUP_SEMANTICS).
LogRefusal ResultLog::refusalAt(const std::string& path, FolderWriters writers) {
    const HANDLE file =
        CreateFileW(tobrik::text::Utf8ToWide(path).c_str(), 0,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return LogRefusal::None;
    BY_HANDLE_FILE_INFORMATION info{};
    const LogRefusal refusal =
        GetFileInformationByHandle(file, &info) ? refusalOf(file, info, writers) : LogRefusal::None;
    CloseHandle(file);
    return refusal;
}

// The path may hold characters outside the ANSI code page. A reparse point
// is opened as itself, not followed, and the file is emptied only once it
// is seen to be fit. Others may read the log while it is written.
std::FILE* ResultLog::openForOutput(const std::string& path, FolderWriters writers,
                                    LogRefusal& refusal) {
    const HANDLE file = CreateFileW(tobrik::text::Utf8ToWide(path).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A folder there cannot be opened for writing.
        refusal = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION
                      ? LogRefusal::InUse
                      : refusalAt(path, writers);
        errno = errnoOf(error);
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info))
        return fail(file, GetLastError());
    refusal = refusalOf(file, info, writers);
    if (refusal != LogRefusal::None)
        return fail(file, ERROR_SUCCESS);
    // A file just made has nothing to cut (and wine fails the cut of one
    // made on a full volume).
    const bool empty = info.nFileSizeHigh == 0 && info.nFileSizeLow == 0;
    if (!empty && !SetEndOfFile(file))
        return fail(file, GetLastError());
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
    if (descriptor < 0)
        return fail(file, GetLastError());
    std::FILE* stream = _fdopen(descriptor, "wb");
    if (!stream)
        _close(descriptor);
    return stream;
}

void ResultLog::takeBackTo(std::FILE* file, long size) {
    _chsize_s(_fileno(file), size);
    std::fseek(file, size, SEEK_SET);
}

} // namespace tobrik::log
