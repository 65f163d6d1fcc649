// The log's folder access on Windows, through the wide-character calls, so
// that a path may hold characters outside the ANSI code page.

#include "LogFolderAccess.h"
#include "SystemCodePage.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <direct.h>
#include <string>
#include <windows.h>
// After windows.h:
#include <aclapi.h>

namespace tobrik::log {

using tobrik::text::Utf8ToWide;
using tobrik::text::WideToUtf8;

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

} // namespace tobrik::log
