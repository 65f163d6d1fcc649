// Starting the log's viewer, without waiting for it.

#include "LogViewer.h"

#include <QProcess>

namespace tobrik::app {

bool StartViewer(const QString& program, const QString& argument, QString& error) {
    QProcess process;
    process.setProgram(program);
    process.setArguments({argument});
    process.setStandardInputFile(QProcess::nullDevice());
    if (process.startDetached())
        return true;
    error = process.errorString();
    return false;
}

} // namespace tobrik::app
