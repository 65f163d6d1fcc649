// The one-instance lock's folder on Windows.

#include "InstanceLock.h"

#include <QDir>

namespace tobrik::app {

// Windows gives every user a temporary folder of their own.
QString InstanceLockFolder() {
    return QDir::tempPath();
}

QString PathKey(const QString& path) {
    return path.toLower();
}

} // namespace tobrik::app
