#pragma once
// What choosing the log's place asks of the system: the environment, the
// user's account, who besides the user may write a folder, the making of a
// folder and the opening of the log, which is also the probe of whether a
// folder can be written. LogPlatformLinux.cpp and LogPlatformWindows.cpp
// make the calls; tests replace parts of it.

#include "ResultLog.h"

#include <string>
#include <vector>

namespace tobrik::log {

// The separator between the folders and the file name of a path.
extern const char kPathSeparator;

#ifndef _WIN32
// Entries of the system's account and group databases, as far as whether a
// group can hold a user other than this one.
struct AccountEntry {
    std::string name; // empty when there is none
    unsigned primaryGroup = 0;
};
struct GroupEntry {
    std::string name; // empty when there is none
    std::vector<std::string> members;
};
#endif

class LogFolderAccess {
  public:
    virtual ~LogFolderAccess() = default;

    // The environment variable's value (UTF-8); empty when unset.
    virtual std::string variable(const std::string& name);
    // The home folder of the user's account entry, for when HOME is unset;
    // empty when there is none (and on Windows).
    virtual std::string accountHome();
    // Whether a user other than this one may write into folder, and so
    // could put a link where the log is to be written. On Linux: another
    // user owns it, everyone may write there, or its group may and that
    // group can hold another user (it is not the user's own private group,
    // or an access list names others). On Windows: its owner is neither
    // this user nor the Administrators the user belongs to, or its access
    // list lets anyone but this user, SYSTEM and the Administrators put a
    // file there. False where it cannot be told.
    bool othersMayWrite(const std::string& folder);
    // Whether this user may create files in folder: asked of the system on
    // Linux; on Windows, where only making one tells, by making a file that
    // is deleted as it is closed.
    virtual bool mayWrite(const std::string& folder);
    // Why the file at path may not be the log (ResultLog::refusalAt), a
    // file of more than one name refused where others may write its
    // folder; None when there is no file, or it may be written.
    virtual LogRefusal refusal(const std::string& path);
    // Makes one folder, the user's alone (0700 on Linux); one that exists
    // already counts as made. On failure returns false and sets error.
    virtual bool makeFolder(const std::string& folder, std::string& error);
    // The long form of an existing path on Windows (each short 8.3 name
    // spelled out, as GetLongPathNameW gives it); the path itself when that
    // fails, and elsewhere.
    virtual std::string longPath(const std::string& path);
    // Opens log at path (see ResultLog::open), by the same rule for a file
    // of more than one name as refusal.
    virtual bool open(ResultLog& log, const std::string& path, std::string& error);

    // ---- The records that othersMayWrite reads -------------------------
#ifdef _WIN32
    // The folder's owner and access list, as a self-relative security
    // descriptor; empty when they cannot be read.
    virtual std::vector<unsigned char> security(const std::string& folder);
#else
    // This user's account entry.
    virtual AccountEntry account();
    // The entry of the group gid.
    virtual GroupEntry group(unsigned gid);
    // The names of the accounts whose primary group is gid.
    virtual std::vector<std::string> accountsInGroup(unsigned gid);
    // Whether folder has an access list beyond its mode bits, whose mask
    // its group bits then show.
    virtual bool hasAccessList(const std::string& folder);
#endif
};

} // namespace tobrik::log
