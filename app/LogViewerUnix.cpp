// The log's viewer on Linux and the other Unix systems: the desktop's own
// program for the file, through xdg-open, which says by its exit status
// whether it found one.

#include "LogViewer.h"
#include "UserTexts.h"

#include <QProcess>
#include <unistd.h>

namespace tobrik::app {

QString ViewerProgram() {
    return "xdg-open";
}

// The process is watched from the event loop (Qt learns of its end through a
// descriptor of the child), so the window never waits for it. Nothing owns
// it: it deletes itself once the viewer has ended, and the program's end
// (std::_Exit) leaves it running, in a session of its own, out of reach of a
// terminal's signals to this program. Its output goes where this program's
// goes, so no pipe can fill up and hold it.
void StartViewer(const QString& program, const QString& argument,
                 const std::function<void(const QString& error)>& failed) {
    auto* process = new QProcess;
    PrepareViewer(*process, program, argument);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setChildProcessModifier([] { ::setsid(); });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, failed](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return; // a crash is told as the process finishes
                         failed(process->errorString());
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::finished, process,
                     [process, failed](int status, QProcess::ExitStatus exit) {
                         if (exit == QProcess::CrashExit)
                             failed(process->errorString());
                         else if (status != 0)
                             failed(QString(text::kViewerExitStatus).arg(status));
                         process->deleteLater();
                     });
    process->start();
}

} // namespace tobrik::app
