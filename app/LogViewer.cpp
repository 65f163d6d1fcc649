// What the start of the log's viewer is alike in on every system.

#include "LogViewer.h"

#include <QProcess>

namespace tobrik::app {

void PrepareViewer(QProcess& process, const QString& program, const QString& argument) {
    process.setProgram(program);
    process.setArguments({argument});
    process.setStandardInputFile(QProcess::nullDevice());
}

} // namespace tobrik::app
