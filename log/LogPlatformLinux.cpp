// What the log does on Linux and the other Unix systems: its place (/usr is
// the system's, the user's own folder is the XDG state folder), the folder
// access through the account and group databases, and the file calls.

#include "LogFolderAccess.h"
#include "LogLocation.h"
#include "ResultLog.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace tobrik::log {

// ---- The log's place -------------------------------------------------------

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

// ---- The folder access -----------------------------------------------------

namespace {

// Room for one account or group entry: glibc asks for 1024 bytes
// (_SC_GETPW_R_SIZE_MAX); entries from a directory service can be longer,
// and a group lists its members.
constexpr std::size_t kEntrySize = 65536;

// Whether only this user can be in the group: the user's own private group,
// named like the user and the account's primary group, with no other member
// listed and no other account in it by its primary group. Where the desktop
// makes each user such a group (umask 002), the user's folders are 0775.
bool onlyThisUserIn(unsigned gid, LogFolderAccess& access) {
    const AccountEntry user = access.account();
    if (user.name.empty() || user.primaryGroup != gid)
        return false;
    const auto isUser = [&user](const std::string& name) { return name == user.name; };
    const GroupEntry group = access.group(gid);
    if (group.name != user.name || !std::all_of(group.members.begin(), group.members.end(), isUser))
        return false;
    // Last, as it walks every account (a directory service's too).
    const std::vector<std::string> accounts = access.accountsInGroup(gid);
    return std::all_of(accounts.begin(), accounts.end(), isUser);
}

} // namespace

std::string LogFolderAccess::variable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? std::string(value) : std::string();
}

std::string LogFolderAccess::accountHome() {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(kEntrySize);
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return {};
    return found->pw_dir;
}

bool LogFolderAccess::othersMayWrite(const std::string& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0)
        return false;
    if (info.st_uid != ::geteuid() || (info.st_mode & S_IWOTH) != 0)
        return true;
    if ((info.st_mode & S_IWGRP) == 0)
        return false;
    return hasAccessList(folder) || !onlyThisUserIn(info.st_gid, *this);
}

bool LogFolderAccess::mayWrite(const std::string& folder) {
    return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool LogFolderAccess::makeFolder(const std::string& folder, std::string& error) {
    if (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST)
        return true;
    error = std::strerror(errno);
    return false;
}

std::string LogFolderAccess::longPath(const std::string& path) {
    return path;
}

AccountEntry LogFolderAccess::account() {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(kEntrySize);
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    return {found->pw_name, found->pw_gid};
}

GroupEntry LogFolderAccess::group(unsigned gid) {
    struct ::group entry {};
    struct ::group* found = nullptr;
    std::vector<char> buffer(kEntrySize);
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    GroupEntry group{found->gr_name, {}};
    for (char** member = found->gr_mem; member && *member; ++member)
        group.members.emplace_back(*member);
    return group;
}

std::vector<std::string> LogFolderAccess::accountsInGroup(unsigned gid) {
    std::vector<std::string> names;
    ::setpwent();
    while (const passwd* entry = ::getpwent()) {
        if (entry->pw_gid == gid)
            names.emplace_back(entry->pw_name);
    }
    ::endpwent();
    return names;
}

bool LogFolderAccess::hasAccessList(const std::string& folder) {
    return ::getxattr(folder.c_str(), "system.posix_acl_access", nullptr, 0) > 0;
}

// ---- The result log's file calls -------------------------------------------

namespace {

// Whoever put a link where the log is to be would have the sweep empty the
// file it names; a FIFO, a socket or a device keeps no log; and where others
// may write the folder, another user's file is not this user's to empty.
LogRefusal refusalOf(const struct stat& info, FolderWriters writers) {
    if (S_ISLNK(info.st_mode))
        return LogRefusal::Link;
    if (!S_ISREG(info.st_mode))
        return LogRefusal::NotAFile;
    if (writers == FolderWriters::UserAlone)
        return LogRefusal::None;
    if (info.st_uid != ::geteuid())
        return LogRefusal::NotOwn;
    if (info.st_nlink > 1)
        return LogRefusal::Link;
    return LogRefusal::None;
}

} // namespace

LogRefusal ResultLog::refusalAt(const std::string& path, FolderWriters writers) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? refusalOf(info, writers) : LogRefusal::None;
}

// Looked at first, so that no FIFO or device is opened at all; then opened
// without O_TRUNC, not following a symbolic link and not waiting for a
// FIFO's reader (O_NONBLOCK), and emptied once the file opened is seen to
// be fit: checked on the descriptor, so no one can swap the file in between.
std::FILE* ResultLog::openForOutput(const std::string& path, FolderWriters writers,
                                    LogRefusal& refusal) {
    refusal = refusalAt(path, writers);
    if (refusal != LogRefusal::None)
        return nullptr;
    const int descriptor = ::open(
        path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0666);
    if (descriptor < 0) {
        const int failure = errno;
        refusal = refusalAt(path, writers); // put there since it was looked at
        errno = failure;
        return nullptr;
    }
    struct stat info {};
    bool usable = ::fstat(descriptor, &info) == 0;
    if (usable)
        refusal = refusalOf(info, writers);
    usable = usable && refusal == LogRefusal::None &&
             ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK) == 0 &&
             ::ftruncate(descriptor, 0) == 0;
    std::FILE* file = usable ? ::fdopen(descriptor, "wb") : nullptr;
    if (!file) {
        const int failure = errno;
        ::close(descriptor);
        errno = failure;
    }
    return file;
}

void ResultLog::takeBackTo(std::FILE* file, long size) {
    // Best effort: should this fail too, the write's own error is reported.
    const bool cut = ftruncate(fileno(file), size) == 0;
    static_cast<void>(cut);
    std::fseek(file, size, SEEK_SET);
}

} // namespace tobrik::log
