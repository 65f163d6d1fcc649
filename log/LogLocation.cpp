// Choosing the log's folder: beside the executable, else the user's own.

#include "LogLocation.h"

#include <utility>

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

LogPlace ChooseLogPlace(const std::string& executableDirectory, LogFolderAccess& access) {
    LogPlace place{LogPathIn(access.longPath(executableDirectory)), {}, {}};
    const bool allowed = besideIsAllowed(executableDirectory, access);
    const std::string folder = UserLogFolder(access);
    if (folder.empty()) {
        // Nothing is written where it is not allowed, for want of a place.
        if (!allowed)
            place.refusal = LogRefusal::NoUserFolder;
        return place;
    }
    if (!allowed || !access.mayWrite(executableDirectory)) {
        place.path = LogPathIn(folder);
    } else if (const LogRefusal why = access.refusal(place.path); why != LogRefusal::None) {
        place.move = {place.path, why, {}};
        place.path = LogPathIn(folder);
    }
    return place;
}

LogOpening OpenChosenLog(ResultLog& log, LogPlace& place, LogFolderAccess& access,
                         const std::function<bool(const std::string& path)>& mayMoveTo) {
    const std::string folder = UserLogFolder(access);
    const std::string own = folder.empty() ? std::string() : LogPathIn(folder);
    LogOpening opening;
    // The user's folder is made on demand.
    const auto openAt = [&](const std::string& path) {
        opening.path = path;
        opening.error.clear();
        opening.refusal = LogRefusal::None;
        const bool made = path != own || makeFolders(folder, access, opening.error);
        opening.opened = made && access.open(log, path, opening.error);
        if (made)
            opening.refusal = log.refusal();
        return opening.opened;
    };
    opening.path = place.path;
    opening.refusal = place.refusal;
    if (place.refusal == LogRefusal::None && openAt(place.path)) {
        opening.move = std::exchange(place.move, {});
        return opening;
    }
    if (own.empty() || own == place.path)
        return opening;
    opening.move = {place.path, opening.refusal, opening.error};
    opening.path = own;
    opening.error.clear();
    opening.refusal = LogRefusal::None;
    if (mayMoveTo(own))
        openAt(own);
    return opening;
}

} // namespace tobrik::log
