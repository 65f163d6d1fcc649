// The log's folder access on Linux and the other Unix systems.

#include "LogFolderAccess.h"

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

} // namespace tobrik::log
