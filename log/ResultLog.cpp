#include "ResultLog.h"

#include "SystemCodePage.h"

#include <cerrno>
#include <cstring>
#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tobrik::log {

namespace {

std::string describeErrno(int error) {
    return error != 0 ? std::string(std::strerror(error)) : std::string("unknown error");
}

// Cuts the file back to size bytes and writes on from there.
void takeBackTo(std::FILE* file, long size) {
#ifdef _WIN32
    _chsize_s(_fileno(file), size);
#else
    // Best effort: should this fail too, the write's own error is reported.
    const bool cut = ftruncate(fileno(file), size) == 0;
    static_cast<void>(cut);
#endif
    std::fseek(file, size, SEEK_SET);
}

std::FILE* openForOutput(const std::string& path) {
#ifdef _WIN32
    // The path may hold characters outside the ANSI code page.
    return _wfopen(tobrik::net::Utf8ToWide(path).c_str(), L"wb");
#else
    // A symbolic link where the log is to be is never followed: whoever put
    // it there would have the sweep empty the file it names.
    const int descriptor =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (descriptor < 0)
        return nullptr;
    std::FILE* file = ::fdopen(descriptor, "wb");
    if (!file)
        ::close(descriptor);
    return file;
#endif
}

} // namespace

ResultLog::~ResultLog() {
    close();
}

bool ResultLog::open(const std::string& path, std::string& error) {
    close();
    errno = 0;
    file_ = openForOutput(path);
    if (!file_) {
        error = describeErrno(errno);
        return false;
    }
    // Unbuffered: a line reaches the file in one write or fails there, and
    // no failed remainder waits in a buffer to be written at close.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    size_ = 0;
    return true;
}

bool ResultLog::write(const std::string& text, std::string& error) {
    if (!file_) {
        error = "the log is not open";
        return false;
    }
    const std::string bytes = tobrik::net::ToSystemCodePage(text);
    errno = 0;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
    const bool flushed = std::fflush(file_) == 0;
    if (!written || !flushed) {
        error = describeErrno(errno);
        // A disk that filled up in the middle of the line took part of it.
        takeBackTo(file_, size_);
        std::clearerr(file_);
        return false;
    }
    size_ += static_cast<long>(bytes.size());
    return true;
}

bool ResultLog::close(std::string& error) {
    if (!file_)
        return true;
    errno = 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!closed)
        error = describeErrno(errno);
    return closed;
}

void ResultLog::close() {
    std::string ignored;
    close(ignored);
}

} // namespace tobrik::log
