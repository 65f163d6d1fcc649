#include "LogPlace.h"

#include "LogLine.h"

#include <algorithm>
#include <cctype>

namespace tobrik::log {

namespace {

#ifdef _WIN32
// Compared without regard to case or the kind of slash, as Windows does, and
// without the \\?\ prefix of long paths (\\?\UNC\ stands for \\).
std::string comparable(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    if (path.rfind("\\\\?\\UNC\\", 0) == 0)
        path.replace(0, 8, "\\\\");
    else if (path.rfind("\\\\?\\", 0) == 0)
        path.erase(0, 4);
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

// Both sides in their long forms: C:\PROGRA~1 is C:\Program Files.
bool isSystemProgramFolder(const std::string& directory, LogPlaces& places) {
    const std::string longDirectory = places.longPath(directory);
    for (const char* name : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432"}) {
        const std::string folder = places.variable(name);
        if (!folder.empty() && isInside(longDirectory, places.longPath(folder)))
            return true;
    }
    return false;
}

// %LOCALAPPDATA%\Tobrik; empty when the variable is not set.
std::string userFolder(LogPlaces& places) {
    const std::string local = places.variable("LOCALAPPDATA");
    return local.empty() ? std::string() : local + "\\Tobrik";
}
#else
bool isSystemProgramFolder(const std::string& directory, LogPlaces&) {
    return directory == "/usr" || directory.rfind("/usr/", 0) == 0;
}

// $XDG_STATE_HOME/tobrik, or ~/.local/state/tobrik when that is unset or
// not an absolute path (which the XDG base directories rule out); empty
// when neither is known.
std::string userFolder(LogPlaces& places) {
    const std::string state = places.variable("XDG_STATE_HOME");
    if (!state.empty() && state.front() == '/')
        return state + "/tobrik";
    const std::string home = places.variable("HOME");
    return home.empty() ? std::string() : home + "/.local/state/tobrik";
}
#endif

} // namespace

LogOpening OpenLogWhereUserCanWrite(ResultLog& log, const std::string& executableDirectory,
                                    LogPlaces& places) {
    LogOpening opening;
    opening.path = LogPathIn(executableDirectory);
    if (isSystemProgramFolder(executableDirectory, places))
        opening.error = "a folder of the system's programs";
    else if (places.open(log, opening.path, opening.error))
        opening.opened = true;
    const std::string folder = userFolder(places);
    if (opening.opened || folder.empty())
        return opening;
    opening.path = LogPathIn(folder);
    opening.opened =
        places.makeFolders(folder, opening.error) && places.open(log, opening.path, opening.error);
    return opening;
}

} // namespace tobrik::log
