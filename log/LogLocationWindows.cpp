// The log's place on Windows: the Program Files folders are the system's,
// the user's own folder is %LOCALAPPDATA%\Tobrik.

#include "LogLocation.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace tobrik::log {

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

} // namespace tobrik::log
