// The log's place on Linux and the other Unix systems: /usr is the system's,
// the user's own folder is the XDG state folder.

#include "LogLocation.h"

namespace tobrik::log {

namespace {

// "/" becomes "", to which "/tobrik" is then added.
std::string withoutTrailingSlashes(std::string path) {
    while (!path.empty() && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

const char kPathSeparator = '/';

bool IsSystemProgramFolder(const std::string& directory, LogFolderAccess&) {
    return directory == "/usr" || directory.rfind("/usr/", 0) == 0;
}

// $XDG_STATE_HOME/tobrik, or ~/.local/state/tobrik when that is unset or
// not an absolute path (which the XDG base directories rule out), with the
// home folder of the user's account when HOME is unset.
std::string UserLogFolder(LogFolderAccess& access) {
    const std::string state = access.variable("XDG_STATE_HOME");
    if (!state.empty() && state.front() == '/')
        return withoutTrailingSlashes(state) + "/tobrik";
    std::string home = access.variable("HOME");
    if (home.empty())
        home = access.accountHome();
    return home.empty() ? std::string() : withoutTrailingSlashes(home) + "/.local/state/tobrik";
}

} // namespace tobrik::log
