#pragma once
// The result log file: opened for output at the start of a sweep (created
// or emptied), one line written per probed address and flushed at once, so
// a program that is killed keeps every line written, then closed.

#include <cstdio>
#include <string>

namespace tobrik::log {

class ResultLog {
  public:
    ResultLog() = default;
    ~ResultLog();
    ResultLog(const ResultLog&) = delete;
    ResultLog& operator=(const ResultLog&) = delete;

    // Creates or empties the file at path (UTF-8); a symbolic link there is
    // refused, not followed (Linux). On failure returns false and sets error
    // to the reason; the log stays closed.
    bool open(const std::string& path, std::string& error);

    // Writes text (UTF-8) in the system's 8-bit code page straight to the
    // file, with no buffer in between. On failure returns false and sets
    // error; the log stays open and holds no part of text, so nothing half
    // written is left on disk or waits to be written later. Writing to a
    // closed log writes nothing and fails.
    bool write(const std::string& text, std::string& error);

    // Closes the file. When the system reports a failure, returns false and
    // sets error; the log is closed either way. Closing a closed log does
    // nothing and succeeds.
    bool close(std::string& error);
    // Closes the file where no one could be told of a failure.
    void close();

    bool isOpen() const { return file_ != nullptr; }

  private:
    // Each system's calls, in ResultLogUnix.cpp and ResultLogWindows.cpp.
    static std::FILE* openForOutput(const std::string& path);
    // Cuts the file back to size bytes and writes on from there.
    static void takeBackTo(std::FILE* file, long size);

    std::FILE* file_ = nullptr;
    long size_ = 0; // bytes of the whole texts written so far
};

} // namespace tobrik::log
