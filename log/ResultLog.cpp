#include "ResultLog.h"

#include "SystemCodePage.h"

#include <cerrno>
#include <cstring>

namespace tobrik::log {

namespace {

std::string describeErrno(int error) {
    return error != 0 ? std::string(std::strerror(error)) : std::string("unknown error");
}

std::FILE* openForOutput(const std::string& path) {
#ifdef _WIN32
    // The path may hold characters outside the ANSI code page.
    return _wfopen(tobrik::net::Utf8ToWide(path).c_str(), L"wb");
#else
    return std::fopen(path.c_str(), "wbe");
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
        std::clearerr(file_);
        return false;
    }
    return true;
}

void ResultLog::close() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

} // namespace tobrik::log
