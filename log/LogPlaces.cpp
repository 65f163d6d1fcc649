#include "LogPlaces.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#ifdef _WIN32
#include "SystemCodePage.h"

#include <direct.h>
#include <string>
#include <windows.h>
#else
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#endif

namespace tobrik::log {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// An existing folder counts as made.
bool makeOneFolder(const std::string& folder, std::string& error) {
#ifdef _WIN32
    const int made = _wmkdir(tobrik::net::Utf8ToWide(folder).c_str());
#else
    const int made = ::mkdir(folder.c_str(), 0700);
#endif
    if (made == 0 || errno == EEXIST)
        return true;
    error = std::strerror(errno);
    return false;
}

} // namespace

std::string LogPlaces::variable(const std::string& name) {
#ifdef _WIN32
    const wchar_t* value = _wgetenv(tobrik::net::Utf8ToWide(name).c_str());
    return value ? tobrik::net::WideToUtf8(value) : std::string();
#else
    const char* value = std::getenv(name.c_str());
    return value ? std::string(value) : std::string();
#endif
}

std::string LogPlaces::accountHome() {
#ifdef _WIN32
    return {};
#else
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return {};
    return found->pw_dir;
#endif
}

bool LogPlaces::othersMayWrite(const std::string& folder) {
#ifdef _WIN32
    static_cast<void>(folder);
    return false;
#else
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0)
        return false;
    return info.st_uid != ::geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
#endif
}

bool LogPlaces::mayWrite(const std::string& folder) {
#ifdef _WIN32
    // _waccess tells only whether a folder exists: the folder's access
    // control decides whether a file may be made there. So one is made,
    // which Windows deletes as its handle closes (or the process ends).
    const std::wstring probe = tobrik::net::Utf8ToWide(folder) + L"\\tobrik-probe-" +
                               std::to_wstring(GetCurrentProcessId()) + L".tmp";
    const HANDLE file = CreateFileW(
        probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
#else
    return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
#endif
}

bool LogPlaces::makeFolders(const std::string& folder, std::string& error) {
    // The folders on the way down first; one that cannot be made (a drive,
    // a network share, a folder that exists but cannot be read) shows in
    // the failure of the last one.
    std::string ignored;
    for (std::size_t end = folder.find(kSeparator, 1); end != std::string::npos;
         end = folder.find(kSeparator, end + 1))
        makeOneFolder(folder.substr(0, end), ignored);
    return makeOneFolder(folder, error);
}

std::string LogPlaces::longPath(const std::string& path) {
#ifdef _WIN32
    const std::wstring wide = tobrik::net::Utf8ToWide(path);
    std::wstring longer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetLongPathNameW(wide.c_str(), longer.data(), static_cast<DWORD>(longer.size()));
        if (length == 0)
            return path;
        if (length < longer.size()) {
            longer.resize(length);
            return tobrik::net::WideToUtf8(longer);
        }
        longer.resize(length);
    }
#else
    return path;
#endif
}

bool LogPlaces::open(ResultLog& log, const std::string& path, std::string& error) {
    return log.open(path, error);
}

} // namespace tobrik::log
