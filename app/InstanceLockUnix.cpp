// The one-instance lock's folder on Linux and the other Unix systems.

#include "InstanceLock.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <sys/stat.h>
#include <unistd.h>

namespace tobrik::app {

namespace {

constexpr mode_t kOwnerOnly = 0700;
constexpr mode_t kAllModeBits = 07777; // permissions with set-id and sticky bits

// A folder that only this user can write: a lock that a dead instance left
// there can be taken over. In a shared folder such as /tmp (sticky) a lock
// left by another user could not be removed and would refuse every start.
// A folder of the user's own with any other mode (one left read-only, too)
// is set back to 0700.
QString privateFolder(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    ::mkdir(name.constData(), kOwnerOnly);
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::geteuid())
        return {};
    if ((info.st_mode & kAllModeBits) != kOwnerOnly && ::chmod(name.constData(), kOwnerOnly) != 0)
        return {};
    return path;
}

} // namespace

// The user's runtime folder, or else a folder of the user's own under the
// temporary folder.
QString InstanceLockFolder() {
    // Without XDG_RUNTIME_DIR Qt would warn and pick a folder named after
    // the user, which a user without a name cannot have.
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (!runtime.isEmpty())
            return runtime;
    }
    return privateFolder(QDir::tempPath() + "/tobrik-" + QString::number(::geteuid()));
}

QString PathKey(const QString& path) {
    return path;
}

} // namespace tobrik::app
