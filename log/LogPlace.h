#pragma once
// Where the result log is written: beside the executable, as a portable
// copy has it, unless that folder is one of the system's program folders
// (anything under /usr; the Program Files folders on Windows), another user
// may write there, or it cannot be written; then in the user's own state
// folder, with the same file name: $XDG_STATE_HOME/tobrik (default
// ~/.local/state/tobrik) on Linux, %LOCALAPPDATA%\Tobrik on Windows,
// created on demand.

#include "LogPlaces.h"
#include "ResultLog.h"

#include <string>

namespace tobrik::log {

struct LogOpening {
    bool opened = false;
    std::string path;  // the log written, or the last path tried
    std::string error; // why the last path could not be opened; empty once opened
};

// Opens log where the user can write it. Opening the file is the probe of
// the folder: a failure there moves on to the user's folder.
LogOpening OpenLogWhereUserCanWrite(ResultLog& log, const std::string& executableDirectory,
                                    LogPlaces& places);

// The log that a sweep started now would write, decided as
// OpenLogWhereUserCanWrite decides it but without opening or making
// anything: whether the program's folder may be written is asked of the
// system instead.
std::string ExpectedLogPath(const std::string& executableDirectory, LogPlaces& places);

} // namespace tobrik::log
