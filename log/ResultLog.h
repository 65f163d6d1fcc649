#pragma once
// The result log file: opened for output at the start of a sweep (created
// or emptied), one line written per probed address and flushed at once, so
// a program that is killed keeps every line written, then closed.

#include <cstdio>
#include <string>

namespace tobrik::log {

// Why the file at the log's path is not written, beyond an error of the
// system.
enum class LogRefusal {
    None,
    // A symbolic link, on Windows a reparse point, or a file of more than
    // one name (a hard link) where another user could have made the other
    // name: whoever made it would have the sweep empty the file it names.
    Link,
    // Not a plain file: a folder, a FIFO, a socket or a device. Writing a
    // FIFO would wait for a reader; none of them keeps a log.
    NotAFile,
    // A file that another user owns (Linux).
    NotOwn,
    // Another program holds it open without sharing it (Windows).
    InUse,
    // No path at all: the log may not go beside the program, and no folder
    // of the user's own is known.
    NoUserFolder,
};

// Who may write the log's folder. Where others may, a file of more than
// one name or of another owner in the log's place could be theirs, put there
// to have the sweep empty a file of the user's; where the user alone may,
// it is the user's own (a file system such as NFS may show another owner).
enum class FolderWriters { Others, UserAlone };

class ResultLog {
  public:
    ResultLog() = default;
    ~ResultLog();
    ResultLog(const ResultLog&) = delete;
    ResultLog& operator=(const ResultLog&) = delete;

    // Creates or empties the file at path (UTF-8). What refusalAt refuses
    // is not followed nor written: the file is emptied only once the one
    // opened is seen to be fit. On failure returns false and sets error to
    // the reason, and refusal() tells a refusal; the log stays closed.
    bool open(const std::string& path, std::string& error,
              FolderWriters writers = FolderWriters::Others);
    // Why the file at path may not be the log, looked at without opening
    // it: the checks that open makes of the file it opens. None when there
    // is no file, or it may be written.
    static LogRefusal refusalAt(const std::string& path, FolderWriters writers);
    // Why the last open refused its path; None when it opened or failed
    // for another reason.
    LogRefusal refusal() const { return refusal_; }

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
    // Each system's calls, in LogPlatformLinux.cpp and LogPlatformWindows.cpp.
    // Opens path for output, emptied; a refusal is set in refusal, any
    // other failure in errno.
    static std::FILE* openForOutput(const std::string& path, FolderWriters writers,
                                    LogRefusal& refusal);
    // Cuts the file back to size bytes and writes on from there.
    static void takeBackTo(std::FILE* file, long size);

    std::FILE* file_ = nullptr;
    long size_ = 0; // bytes of the whole texts written so far
    LogRefusal refusal_ = LogRefusal::None;
};

} // namespace tobrik::log
