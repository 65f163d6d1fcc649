// The result log's file calls on Linux and the other Unix systems.

#include "ResultLog.h"

#include <fcntl.h>
#include <unistd.h>

namespace tobrik::log {

// A symbolic link where the log is to be is never followed: whoever put it
// there would have the sweep empty the file it names.
std::FILE* ResultLog::openForOutput(const std::string& path) {
    const int descriptor =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (descriptor < 0)
        return nullptr;
    std::FILE* file = ::fdopen(descriptor, "wb");
    if (!file)
        ::close(descriptor);
    return file;
}

void ResultLog::takeBackTo(std::FILE* file, long size) {
    // Best effort: should this fail too, the write's own error is reported.
    const bool cut = ftruncate(fileno(file), size) == 0;
    static_cast<void>(cut);
    std::fseek(file, size, SEEK_SET);
}

} // namespace tobrik::log
