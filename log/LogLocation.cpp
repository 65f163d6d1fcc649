// Choosing the log's folder: beside the executable, else the user's own.

#include "LogLocation.h"

namespace tobrik::log {

namespace {

// Whether the log may go beside the executable: not in one of the system's
// program folders, nor where another user could put something in its place.
bool besideIsAllowed(const std::string& directory, LogFolderAccess& access) {
    return !IsSystemProgramFolder(directory, access) && !access.othersMayWrite(directory);
}

// Makes folder and the folders on the way down to it. One on the way that
// cannot be made (a drive, a network share, a folder that exists but cannot
// be read) shows in the failure of the last one.
bool makeFolders(const std::string& folder, LogFolderAccess& access, std::string& error) {
    std::string ignored;
    for (std::size_t end = folder.find(kPathSeparator, 1); end != std::string::npos;
         end = folder.find(kPathSeparator, end + 1))
        access.makeFolder(folder.substr(0, end), ignored);
    return access.makeFolder(folder, error);
}

} // namespace

std::string LogPathIn(const std::string& folder) {
    return folder + kPathSeparator + kLogFileName;
}

LogOpening OpenLogWhereUserCanWrite(ResultLog& log, const std::string& executableDirectory,
                                    LogFolderAccess& access) {
    LogOpening opening;
    opening.path = LogPathIn(executableDirectory);
    // The reason stands only when no folder of the user's own is known.
    if (!besideIsAllowed(executableDirectory, access))
        opening.error = "no folder of the user's own is known";
    else if (access.open(log, opening.path, opening.error))
        opening.opened = true;
    const std::string folder = UserLogFolder(access);
    if (!opening.opened && !folder.empty()) {
        opening.path = LogPathIn(folder);
        opening.opened = makeFolders(folder, access, opening.error) &&
                         access.open(log, opening.path, opening.error);
    }
    if (opening.opened)
        opening.error.clear();
    return opening;
}

std::string ExpectedLogPath(const std::string& executableDirectory, LogFolderAccess& access) {
    const std::string folder = UserLogFolder(access);
    if (folder.empty() ||
        (besideIsAllowed(executableDirectory, access) && access.mayWrite(executableDirectory)))
        return LogPathIn(executableDirectory);
    return LogPathIn(folder);
}

} // namespace tobrik::log
