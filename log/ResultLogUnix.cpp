// The result log's file calls on Linux and the other Unix systems.

#include "ResultLog.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tobrik::log {

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
