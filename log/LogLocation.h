#pragma once
// Where the result log is written: its file name, how its path is joined,
// and which folder it goes to. Beside the executable, as a portable copy
// has it, unless that folder is one of the system's program folders
// (anything under /usr; the Program Files folders on Windows), another user
// may write there, or it cannot be written; then in the user's own state
// folder, with the same file name: $XDG_STATE_HOME/tobrik (default
// ~/.local/state/tobrik) on Linux, %LOCALAPPDATA%\Tobrik on Windows,
// created on demand. The rules that differ between the systems are in
// LogLocationUnix.cpp and LogLocationWindows.cpp, of which CMake builds one.

#include "LogFolderAccess.h"
#include "ResultLog.h"

#include <string>

namespace tobrik::log {

inline constexpr const char* kLogFileName = "tobrik.log";

// The log's path in folder: the folder joined as it stands with the file
// name, by the system's separator.
std::string LogPathIn(const std::string& folder);

struct LogOpening {
    bool opened = false;
    std::string path;  // the log written, or the last path tried
    std::string error; // why the last path could not be opened; empty once opened
};

// Opens log where the user can write it. Opening the file is the probe of
// the folder: a failure there moves on to the user's folder.
LogOpening OpenLogWhereUserCanWrite(ResultLog& log, const std::string& executableDirectory,
                                    LogFolderAccess& access);

// The log that a sweep started now would write, decided as
// OpenLogWhereUserCanWrite decides it but without opening or making
// anything: whether the program's folder may be written is asked of the
// system instead.
std::string ExpectedLogPath(const std::string& executableDirectory, LogFolderAccess& access);

// ---- The rules of each system ---------------------------------------------

// The separator between the folders and the file name of a path.
extern const char kPathSeparator;

// Whether directory is one of the system's program folders, or inside one.
bool IsSystemProgramFolder(const std::string& directory, LogFolderAccess& access);

// The user's own folder for the log; empty when none is known.
std::string UserLogFolder(LogFolderAccess& access);

} // namespace tobrik::log
