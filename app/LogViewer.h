#pragma once
// The viewer that shows the log at the end of a sweep: each system's viewer
// program (LogViewerUnix.cpp, LogViewerWindows.cpp, of which CMake builds
// one) and its start on the log.

#include <QString>

namespace tobrik::app {

// The program that shows the log. Windows: notepad.exe in the system
// folder, by its full path, so that no NOTEPAD.EXE in the current folder or
// beside tobrik.exe is started instead; empty when the system folder is
// not known. Elsewhere xdg-open, from PATH.
QString ViewerProgram();

// Starts program with argument, detached, without a shell, its input from
// the null device. On failure returns false and sets error.
bool StartViewer(const QString& program, const QString& argument, QString& error);

} // namespace tobrik::app
