// The one-instance lock: its file's name from the log's path, and taking it.

#include "InstanceLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

namespace tobrik::app {

namespace {

// Hex digits of the path's hash in a lock's name: 64 bits, more than enough
// to tell the logs of one user apart.
constexpr int kLockKeyDigits = 16;

// The path with its folder resolved: links followed, "." and ".." gone, so
// that every spelling of one file gives one text. The part of the folder
// that does not exist yet (the user's state folder before the first sweep)
// is kept as it stands.
QString resolvedPath(const QString& path) {
    QFileInfo file(path);
    QString folder = file.absolutePath();
    QString rest = file.fileName();
    while (!QFileInfo(folder).isDir()) {
        const QFileInfo up(folder);
        rest.prepend(up.fileName() + '/');
        if (up.absolutePath() == folder)
            break;
        folder = up.absolutePath();
    }
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return PathKey(QDir::cleanPath((canonical.isEmpty() ? folder : canonical) + '/' + rest));
}

// One lock per log: two copies of the program that would write the same
// log (the package's and one installed from source, both in the user's
// state folder) are one instance; a portable copy that writes beside
// itself has a lock of its own.
QString lockPath(const QString& folder, const QString& logPath) {
    const QByteArray key =
        QCryptographicHash::hash(resolvedPath(logPath).toUtf8(), QCryptographicHash::Sha1);
    return folder + "/tobrik-" + QString::fromLatin1(key.toHex().left(kLockKeyDigits)) + ".lock";
}

} // namespace

bool InstanceLock::heldByAnother(const QString& logPath) {
    const QString folder = InstanceLockFolder();
    // Without a folder of the user's own (another user holds the fallback
    // folder's name) the program starts rather than be refused by a lock
    // it could never take.
    if (folder.isEmpty())
        return false;
    const QString path = lockPath(folder, logPath);
    if (locks_.count(path))
        return false; // this instance's own
    auto lock = std::make_unique<QLockFile>(path);
    // A lock left by an instance that died is taken over by tryLock.
    if (lock->tryLock(0)) {
        locks_[path] = std::move(lock);
        return false;
    }
    return lock->error() == QLockFile::LockFailedError; // another process holds it
}

void InstanceLock::release() {
    for (auto& [path, lock] : locks_)
        lock->unlock();
}

} // namespace tobrik::app
