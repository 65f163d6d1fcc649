// The log's viewer on Windows: notepad.exe of the system folder.

#include "LogViewer.h"

#include <QDir>
#include <windows.h>

namespace tobrik::app {

QString ViewerProgram() {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    // Without the system folder no viewer is started: the start fails and
    // says so, rather than search the current folder.
    if (length == 0 || length >= MAX_PATH)
        return {};
    return QDir::toNativeSeparators(QString::fromWCharArray(folder, int(length)) + "/notepad.exe");
}

} // namespace tobrik::app
