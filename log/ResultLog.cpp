#include "ResultLog.h"

#include "SystemCodePage.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tobrik::log {

namespace {

std::string describeErrno(int error) {
    return error != 0 ? std::string(std::strerror(error)) : std::string("unknown error");
}

std::FILE* openForOutput(const std::string& path) {
#ifdef _WIN32
    // The path may hold characters outside the ANSI code page.
    const int length = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), length);
    return _wfopen(wide.c_str(), L"wb");
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
