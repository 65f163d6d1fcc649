// The log's folder access that is the same on every system: the rule for a
// file of more than one name in the log's place.

#include "LogFolderAccess.h"
#include "LogLocation.h"

namespace tobrik::log {

namespace {

// A user's own hard link in a folder that only the user may write is the
// user's own business; where another user may write the folder, the other
// name could be theirs, pointing the log at a file of the user's.
OtherNames otherNamesIn(const std::string& path, LogFolderAccess& access) {
    const std::size_t end = path.rfind(kPathSeparator);
    const std::string folder = end == std::string::npos ? std::string(".") : path.substr(0, end);
    return access.othersMayWrite(folder.empty() ? std::string(1, kPathSeparator) : folder)
               ? OtherNames::Refused
               : OtherNames::Allowed;
}

} // namespace

LogRefusal LogFolderAccess::refusal(const std::string& path) {
    return ResultLog::refusalAt(path, otherNamesIn(path, *this));
}

bool LogFolderAccess::open(ResultLog& log, const std::string& path, std::string& error) {
    return log.open(path, error, otherNamesIn(path, *this));
}

} // namespace tobrik::log
