// The result log's file calls on Linux and the other Unix systems.

#include "ResultLog.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tobrik::log {

namespace {

// Whoever put a link where the log is to be would have the sweep empty the
// file it names: a symbolic link is not followed (O_NOFOLLOW), and a file
// of more than one name is not emptied.
bool isSymbolicLink(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool hasOtherNames(const struct stat& info) {
    return S_ISREG(info.st_mode) && info.st_nlink > 1;
}

} // namespace

// Opened without O_TRUNC and emptied once the file opened is seen to have
// no other name: checked on the descriptor, so no one can swap the file in
// between.
std::FILE* ResultLog::openForOutput(const std::string& path, LogRefusal& refusal) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (descriptor < 0) {
        if (errno == ELOOP && isSymbolicLink(path))
            refusal = LogRefusal::Link;
        return nullptr;
    }
    struct stat info {};
    bool usable = ::fstat(descriptor, &info) == 0;
    if (usable && hasOtherNames(info)) {
        refusal = LogRefusal::Link;
        usable = false;
    }
    // A device such as /dev/full is written as it is.
    usable = usable && (!S_ISREG(info.st_mode) || ::ftruncate(descriptor, 0) == 0);
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
