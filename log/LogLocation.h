#pragma once
// Where the result log is written: its file name, how its path is joined,
// and which folder it goes to. Beside the executable, as a portable copy
// has it, unless that folder is one of the system's program folders
// (anything under /usr; the Program Files folders on Windows), another user
// may write there, it cannot be written, or a link stands in the log's
// place; then in the user's own state folder, with the same file name:
// $XDG_STATE_HOME/tobrik (default ~/.local/state/tobrik) on Linux,
// %LOCALAPPDATA%\Tobrik on Windows, created on demand. The place is chosen
// once; a sweep whose log is refused or fails there writes the user's own.
// The rules that differ between the systems are in LogPlatformLinux.cpp and
// LogPlatformWindows.cpp.

#include "LogFolderAccess.h"
#include "ResultLog.h"

#include <functional>
#include <string>

namespace tobrik::log {

inline constexpr const char* kLogFileName = "tobrik.log";

// The log's path in folder: the folder joined as it stands with the file
// name, by the system's separator.
std::string LogPathIn(const std::string& folder);

// Why a log is written elsewhere than it was to be: the log refused or
// failed, and why.
struct LogMove {
    std::string from;                  // empty when the log was not moved
    LogRefusal why = LogRefusal::None; // None: it could not be opened
    std::string error;                 // the reason it could not be opened
};

// The log that this instance writes, chosen once: the one-instance lock is
// taken on it, and every sweep opens it.
struct LogPlace {
    std::string path;
    LogMove move; // a log beside the program refused as the place was chosen
    // NoUserFolder where no log may be written: beside the program it is
    // not allowed, and no folder of the user's own is known.
    LogRefusal refusal = LogRefusal::None;
};

// Chooses the log without opening or making anything: beside the program
// where that is allowed, the program's folder may be written and nothing
// that would be refused stands in the log's place; otherwise in the user's
// own folder. The folders are named in their long forms (Windows), so that
// every spelling of one folder gives one log and one lock.
LogPlace ChooseLogPlace(const std::string& executableDirectory, LogFolderAccess& access);

struct LogOpening {
    bool opened = false;
    std::string path;  // the log written, or the last path tried
    std::string error; // why the last path could not be opened; empty once opened
    LogRefusal refusal = LogRefusal::None; // why the last path was refused
    // Where the log is written elsewhere than it was to be: a refusal at
    // the choice (reported by the first opening alone) or at this opening.
    LogMove move;
};

// Opens the chosen log. Where it is refused or fails and is not the user's
// own log, the log moves there for this opening, once mayMoveTo agrees
// (another instance may write that log); place stays as it was chosen.
LogOpening OpenChosenLog(ResultLog& log, LogPlace& place, LogFolderAccess& access,
                         const std::function<bool(const std::string& path)>& mayMoveTo);

// ---- The rules of each system ---------------------------------------------

// Whether directory is one of the system's program folders, or inside one.
bool IsSystemProgramFolder(const std::string& directory, LogFolderAccess& access);

// The user's own folder for the log, in its long form; empty when none is
// known.
std::string UserLogFolder(LogFolderAccess& access);

} // namespace tobrik::log
