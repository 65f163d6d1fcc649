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

// "/" becomes "", to which "/tobrik" is then added.
std::string withoutTrailingSlashes(std::string path) {
    while (!path.empty() && path.back() == '/')
        path.pop_back();
    return path;
}

// $XDG_STATE_HOME/tobrik, or ~/.local/state/tobrik when that is unset or
// not an absolute path (which the XDG base directories rule out), with the
// home folder of the user's account when HOME is unset; empty when no home
// is known.
std::string userFolder(LogPlaces& places) {
    const std::string state = places.variable("XDG_STATE_HOME");
    if (!state.empty() && state.front() == '/')
        return withoutTrailingSlashes(state) + "/tobrik";
    std::string home = places.variable("HOME");
    if (home.empty())
        home = places.accountHome();
    return home.empty() ? std::string() : withoutTrailingSlashes(home) + "/.local/state/tobrik";
}
#endif

// Whether the log may go beside the executable: not in one of the system's
// program folders, nor where another user could put something in its place.
bool besideIsAllowed(const std::string& directory, LogPlaces& places) {
    return !isSystemProgramFolder(directory, places) && !places.othersMayWrite(directory);
}

} // namespace

LogOpening OpenLogWhereUserCanWrite(ResultLog& log, const std::string& executableDirectory,
                                    LogPlaces& places) {
    LogOpening opening;
    opening.path = LogPathIn(executableDirectory);
    // The reason stands only when no folder of the user's own is known.
    if (!besideIsAllowed(executableDirectory, places))
        opening.error = "no folder of the user's own is known";
    else if (places.open(log, opening.path, opening.error))
        opening.opened = true;
    const std::string folder = userFolder(places);
    if (!opening.opened && !folder.empty()) {
        opening.path = LogPathIn(folder);
        opening.opened = places.makeFolders(folder, opening.error) &&
                         places.open(log, opening.path, opening.error);
    }
    if (opening.opened)
        opening.error.clear();
    return opening;
}

std::string ExpectedLogPath(const std::string& executableDirectory, LogPlaces& places) {
    const std::string folder = userFolder(places);
    if (folder.empty() ||
        (besideIsAllowed(executableDirectory, places) && places.mayWrite(executableDirectory)))
        return LogPathIn(executableDirectory);
    return LogPathIn(folder);
}

} // namespace tobrik::log
