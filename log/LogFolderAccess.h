#pragma once
// What choosing the log's place asks of the system: the environment, the
// user's account, what a folder allows, the making of a folder and the
// opening of the log, which is also the probe of whether a folder can be
// written. LogFolderAccessUnix.cpp and LogFolderAccessWindows.cpp make the
// calls, one of them built by CMake; tests replace parts of it.

#include "ResultLog.h"

#include <string>

namespace tobrik::log {

class LogFolderAccess {
  public:
    virtual ~LogFolderAccess() = default;

    // The environment variable's value (UTF-8); empty when unset.
    virtual std::string variable(const std::string& name);
    // The home folder of the user's account entry, for when HOME is unset;
    // empty when there is none (and on Windows).
    virtual std::string accountHome();
    // Whether a user other than this one may write into folder: another
    // user owns it, or its group or everyone may write there. Another user
    // could then put a link where the log is to be written. False where it
    // cannot be told, and on Windows.
    virtual bool othersMayWrite(const std::string& folder);
    // Whether this user may create files in folder: asked of the system on
    // Linux; on Windows, where only making one tells, by making a file that
    // is deleted as it is closed.
    virtual bool mayWrite(const std::string& folder);
    // Makes one folder, the user's alone (0700 on Linux); one that exists
    // already counts as made. On failure returns false and sets error.
    virtual bool makeFolder(const std::string& folder, std::string& error);
    // The long form of an existing path on Windows (each short 8.3 name
    // spelled out, as GetLongPathNameW gives it); the path itself when that
    // fails, and elsewhere.
    virtual std::string longPath(const std::string& path);
    // Opens log at path (see ResultLog::open).
    virtual bool open(ResultLog& log, const std::string& path, std::string& error) {
        return log.open(path, error);
    }
};

} // namespace tobrik::log
