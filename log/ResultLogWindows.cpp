// The result log's file calls on Windows.

#include "ResultLog.h"
#include "SystemCodePage.h"

#include <io.h>

namespace tobrik::log {

// The path may hold characters outside the ANSI code page.
std::FILE* ResultLog::openForOutput(const std::string& path) {
    return _wfopen(tobrik::net::Utf8ToWide(path).c_str(), L"wb");
}

void ResultLog::takeBackTo(std::FILE* file, long size) {
    _chsize_s(_fileno(file), size);
    std::fseek(file, size, SEEK_SET);
}

} // namespace tobrik::log
