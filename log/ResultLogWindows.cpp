// The result log's file calls on Windows.

#include "ResultLog.h"
#include "SystemCodePage.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace tobrik::log {

namespace {

// The C library's number for the reasons an open can fail for, so that the
// reason reads as on Linux.
int errnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return ENOENT;
    case ERROR_INVALID_NAME:
        return EINVAL;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    default:
        return EIO;
    }
}

// A reparse point (a symbolic link, a junction) or a file of more than one
// name where another could have made it: whoever put it where the log is
// to be would have the sweep empty the file it names. A folder, or what is
// no file on a disk, keeps no log.
LogRefusal refusalOf(HANDLE file, const BY_HANDLE_FILE_INFORMATION& info, FolderWriters writers) {
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return LogRefusal::Link;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        GetFileType(file) != FILE_TYPE_DISK)
        return LogRefusal::NotAFile;
    if (info.nNumberOfLinks > 1 && writers == FolderWriters::Others)
        return LogRefusal::Link;
    return LogRefusal::None;
}

// Closes file, keeping the reason of the failure before.
std::FILE* fail(HANDLE file, DWORD error) {
    CloseHandle(file);
    errno = errnoOf(error);
    return nullptr;
}

} // namespace

// The file itself is looked at (FILE_FLAG_OPEN_REPARSE_POINT), with no
// access to its content; a folder too (FILE_FLAG_BACKUP_SEMANTICS).
LogRefusal ResultLog::refusalAt(const std::string& path, FolderWriters writers) {
    const HANDLE file =
        CreateFileW(tobrik::text::Utf8ToWide(path).c_str(), 0,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return LogRefusal::None;
    BY_HANDLE_FILE_INFORMATION info{};
    const LogRefusal refusal =
        GetFileInformationByHandle(file, &info) ? refusalOf(file, info, writers) : LogRefusal::None;
    CloseHandle(file);
    return refusal;
}

// The path may hold characters outside the ANSI code page. A reparse point
// is opened as itself, not followed, and the file is emptied only once it
// is seen to be fit. Others may read the log while it is written.
std::FILE* ResultLog::openForOutput(const std::string& path, FolderWriters writers,
                                    LogRefusal& refusal) {
    const HANDLE file = CreateFileW(tobrik::text::Utf8ToWide(path).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A folder there cannot be opened for writing.
        refusal = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION
                      ? LogRefusal::InUse
                      : refusalAt(path, writers);
        errno = errnoOf(error);
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info))
        return fail(file, GetLastError());
    refusal = refusalOf(file, info, writers);
    if (refusal != LogRefusal::None)
        return fail(file, ERROR_SUCCESS);
    // A file just made has nothing to cut (and wine fails the cut of one
    // made on a full volume).
    const bool empty = info.nFileSizeHigh == 0 && info.nFileSizeLow == 0;
    if (!empty && !SetEndOfFile(file))
        return fail(file, GetLastError());
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
    if (descriptor < 0)
        return fail(file, GetLastError());
    std::FILE* stream = _fdopen(descriptor, "wb");
    if (!stream)
        _close(descriptor);
    return stream;
}

void ResultLog::takeBackTo(std::FILE* file, long size) {
    _chsize_s(_fileno(file), size);
    std::fseek(file, size, SEEK_SET);
}

} // namespace tobrik::log
