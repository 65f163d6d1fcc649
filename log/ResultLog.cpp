// Opening, writing and closing the result log; the calls that differ
// between the systems are in LogPlatformLinux.cpp and LogPlatformWindows.cpp.

#include "ResultLog.h"

#include "SystemCodePage.h"
#include "UserTexts.h"

#include <cerrno>
#include <cstring>

namespace tobrik::log {

namespace {

std::string describeErrno(int error) {
    return error != 0 ? std::string(std::strerror(error))
                      : std::string(tobrik::text::kUnknownError);
}

} // namespace

ResultLog::~ResultLog() {
    close();
}

bool ResultLog::open(const std::string& path, std::string& error, FolderWriters writers) {
    close();
    errno = 0;
    refusal_ = LogRefusal::None;
    file_ = openForOutput(path, writers, refusal_);
    if (!file_) {
        // The window tells a refusal in its own words; this names it.
        error = refusal_ == LogRefusal::None ? describeErrno(errno) : "refused";
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
        error = tobrik::text::kLogNotOpen;
        return false;
    }
    const std::string bytes = tobrik::text::ToSystemCodePage(text);
    // The reason is the first failing call's: a flush after a failed write
    // may set errno to one of its own.
    errno = 0;
    bool done = std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
    int failure = errno;
    if (done) {
        errno = 0;
        done = std::fflush(file_) == 0;
        failure = errno;
    }
    if (!done) {
        error = describeErrno(failure);
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
