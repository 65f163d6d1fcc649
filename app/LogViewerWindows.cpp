// The log's viewer on Windows: notepad.exe of the system folder, which
// tells of its own failures once it runs.

#include "LogViewer.h"

#include <QDir>
#include <QProcess>
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

void StartViewer(const QString& program, const QString& argument,
                 const std::function<void(const QString& error)>& failed) {
    QProcess process;
    PrepareViewer(process, program, argument);
    if (!process.startDetached())
        failed(process.errorString());
}

} // namespace tobrik::app
