#include "QtWindowServices.h"

#include "ApplicationTitle.h"
#include "DesktopPlatform.h"
#include "LogPlace.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <cstdlib>

#if defined(Q_OS_UNIX)
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tobrik::app {

namespace {

QMessageBox::Icon iconOf(int style) {
    switch (style & 0x70) {
    case MessageStyle::Critical:
        return QMessageBox::Critical;
    case MessageStyle::Exclamation:
        return QMessageBox::Warning;
    case MessageStyle::Information:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

#if defined(Q_OS_UNIX)
// A folder that only this user can write: a lock that a dead instance left
// there can be taken over. In a shared folder such as /tmp (sticky) a lock
// left by another user could not be removed and would refuse every start.
// A folder of the user's own with any other mode (one left read-only, too)
// is set back to 0700.
QString privateFolder(const QString& path) {
    ::mkdir(QFile::encodeName(path).constData(), 0700);
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::geteuid())
        return {};
    if ((info.st_mode & 07777) != 0700 && ::chmod(QFile::encodeName(path).constData(), 0700) != 0)
        return {};
    return path;
}
#endif

// The user's runtime folder, or else a folder of the user's own under the
// temporary folder; empty when neither can be had.
QString instanceLockFolder() {
#if defined(Q_OS_UNIX)
    // Without XDG_RUNTIME_DIR Qt would warn and pick a folder named after
    // the user, which a user without a name cannot have.
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (!runtime.isEmpty())
            return runtime;
    }
    return privateFolder(QDir::tempPath() + "/tobrik-" + QString::number(::geteuid()));
#else
    // Windows gives every user a temporary folder of their own.
    return QDir::tempPath();
#endif
}

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
    QString resolved = QDir::cleanPath((canonical.isEmpty() ? folder : canonical) + '/' + rest);
#if defined(Q_OS_WIN)
    resolved = resolved.toLower(); // one file, whatever the case of its name
#endif
    return resolved;
}

// One lock per log: two copies of the program that would write the same
// log (the package's and one installed from source, both in the user's
// state folder) are one instance; a portable copy that writes beside
// itself has a lock of its own.
QString instanceLockPath(const QString& folder, const QString& logPath) {
    const QByteArray key =
        QCryptographicHash::hash(resolvedPath(logPath).toUtf8(), QCryptographicHash::Sha1);
    return folder + "/tobrik-" + QString::fromLatin1(key.toHex().left(16)) + ".lock";
}

} // namespace

QtWindowServices::QtWindowServices() {
    clipboardWatch_ = QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged,
                                       [this] { clipboardStale_ = true; });
}

QtWindowServices::~QtWindowServices() {
    QObject::disconnect(clipboardWatch_);
}

int QtWindowServices::messageBox(const QString& text, int style, const QString& title) {
    QMessageBox box(iconOf(style), title.isEmpty() ? QString(kApplicationTitle) : title, text,
                    QMessageBox::NoButton, messageParent_);
    if ((style & 0x0F) == MessageStyle::OkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    const int pressed = box.exec();
    return pressed == QMessageBox::Cancel ? kAnswerCancel : kAnswerOk;
}

void QtWindowServices::processEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtWindowServices::clearClipboard() {
    QGuiApplication::clipboard()->clear();
    clipboardCache_.clear();
    clipboardStale_ = false;
}

void QtWindowServices::setClipboardText(const QString& text) {
    QGuiApplication::clipboard()->setMimeData(ClipboardTextData(text));
    clipboardCache_ = text;
    clipboardStale_ = false;
}

QString QtWindowServices::clipboardText() {
    if (clipboardStale_) {
        clipboardStale_ = false;
        // Asking for the formats first costs one round trip to the owner;
        // an owner that does not answer then costs one time-out, not one
        // per text format that QClipboard::text() would try.
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        clipboardCache_ = data && data->hasText() ? data->text() : QString();
    }
    return clipboardCache_;
}

bool QtWindowServices::anotherInstanceRunning() {
    const QString folder = instanceLockFolder();
    // Without a folder of the user's own (another user holds the fallback
    // folder's name) the program starts rather than be refused by a lock
    // it could never take.
    if (folder.isEmpty())
        return false;
    const QString logPath = QString::fromStdString(
        tobrik::log::ExpectedLogPath(executableDirectory().toStdString(), logPlaces()));
    instanceLock_ = std::make_unique<QLockFile>(instanceLockPath(folder, logPath));
    // A lock left by an instance that died is taken over by tryLock.
    if (instanceLock_->tryLock(0))
        return false;
    if (instanceLock_->error() == QLockFile::LockFailedError)
        return true; // another process holds it
    // The lock cannot be made (a full or read-only folder): the program
    // starts without it rather than refuse the user for good.
    instanceLock_.reset();
    return false;
}

void QtWindowServices::endProgram() {
    if (instanceLock_)
        instanceLock_->unlock();
    std::_Exit(0);
}

QString QtWindowServices::executableDirectory() {
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QString QtWindowServices::nowText() {
    return QDateTime::currentDateTime().toString("yyyy/MM/dd HH:mm:ss");
}

bool QtWindowServices::startProgram(const QString& program, const QString& argument,
                                    QString& error) {
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
