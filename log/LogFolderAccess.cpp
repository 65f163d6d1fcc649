// The log's folder access that is the same on every system: the rule for a
// file of more than one name in the log's place.

#include "LogFolderAccess.h"

namespace tobrik::log {

namespace {

// Who may write the folder of path: a hard link or another owner's file in
// a folder only the user may write is the user's own business.
FolderWriters writersOf(const std::string& path, LogFolderAccess& access) {
    const std::size_t end = path.rfind(kPathSeparator);
    const std::string folder = end == std::string::npos ? std::string(".") : path.substr(0, end);
    return access.othersMayWrite(folder.empty() ? std::string(1, kPathSeparator) : folder)
               ? FolderWriters::Others
               : FolderWriters::UserAlone;
}

} // namespace

LogRefusal LogFolderAccess::refusal(const std::string& path) {
    return ResultLog::refusalAt(path, writersOf(path, *this));
}

bool LogFolderAccess::open(ResultLog& log, const std::string& path, std::string& error) {
    return log.open(path, error, writersOf(path, *this));
}

} // namespace tobrik::log
