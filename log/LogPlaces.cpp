#include "LogPlaces.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#ifdef _WIN32
#include "SystemCodePage.h"

#include <direct.h>
#include <windows.h>
#else
#include <sys/stat.h>
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
