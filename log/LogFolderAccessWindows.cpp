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

namespace tobrik::log {

using tobrik::net::Utf8ToWide;
using tobrik::net::WideToUtf8;

std::string LogFolderAccess::variable(const std::string& name) {
    const wchar_t* value = _wgetenv(Utf8ToWide(name).c_str());
    return value ? WideToUtf8(value) : std::string();
}

std::string LogFolderAccess::accountHome() {
    return {};
}

bool LogFolderAccess::othersMayWrite(const std::string&) {
    return false;
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

} // namespace tobrik::log
