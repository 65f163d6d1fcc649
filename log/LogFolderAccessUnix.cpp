// The log's folder access on Linux and the other Unix systems.

#include "LogFolderAccess.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tobrik::log {

namespace {

// Room for one account entry: glibc asks for 1024 bytes
// (_SC_GETPW_R_SIZE_MAX); entries from a directory service can be longer.
constexpr std::size_t kAccountEntrySize = 16384;

} // namespace

std::string LogFolderAccess::variable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? std::string(value) : std::string();
}

std::string LogFolderAccess::accountHome() {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(kAccountEntrySize);
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return {};
    return found->pw_dir;
}

bool LogFolderAccess::othersMayWrite(const std::string& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0)
        return false;
    return info.st_uid != ::geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
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

} // namespace tobrik::log
