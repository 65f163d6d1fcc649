#pragma once
// The viewer that shows the log at the end of a sweep: each system's viewer
// program and its start (AppPlatformLinux.cpp, AppPlatformWindows.cpp).

#include <QString>
#include <functional>

class QProcess;

namespace tobrik::app {

// The program that shows the log. Windows: notepad.exe in the system
// folder, by its full path, so that no NOTEPAD.EXE in the current folder or
// beside tobrik.exe is started instead; empty when the system folder is
// not known. Elsewhere xdg-open, from PATH.
QString ViewerProgram();

// Starts program with argument, without a shell and without waiting for
// it; it outlives this program. failed is called once with the reason where
// it cannot be started, and on Linux where it ends with a status other than
// 0 (xdg-open's answer when it finds no viewer), from the event loop.
void StartViewer(const QString& program, const QString& argument,
                 const std::function<void(const QString& error)>& failed);

// Sets process up for each system's start: program with its one argument,
// its input from the null device.
void PrepareViewer(QProcess& process, const QString& program, const QString& argument);

} // namespace tobrik::app
