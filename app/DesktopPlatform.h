#pragma once
// What the program needs of the desktop system that differs between Windows
// and the other systems: DesktopPlatformWindows.cpp and
// DesktopPlatformUnix.cpp, one of which app/CMakeLists.txt builds.

#include <QString>

class QMimeData;

namespace tobrik::app {

// Windows: DLLs are loaded from the program's folder and the system folder
// alone, never from the current folder or PATH. Called first in main.
// Elsewhere nothing.
void LimitLibrarySearch();

// The program that shows the log. Windows: notepad.exe in the system
// folder, by its full path, so that no NOTEPAD.EXE in the current folder or
// beside tobrik.exe is started instead. Elsewhere xdg-open, from PATH.
QString ViewerProgram();

// The clipboard's contents for text the program puts there: the text for
// every program that reads it and, on Windows, the marks that keep it out
// of the clipboard history and the cloud clipboard. The caller owns it.
QMimeData* ClipboardTextData(const QString& text);

} // namespace tobrik::app
