#include "QtWindowServices.h"

#include "ApplicationTitle.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <cstdlib>

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

// One lock per executable: each copy of the program writes its own log
// beside itself, and only two instances of the same copy would collide.
QString instanceLockPath() {
    const QByteArray key = QCryptographicHash::hash(
        QCoreApplication::applicationFilePath().toUtf8(), QCryptographicHash::Sha1);
    return QDir::tempPath() + "/tobrik-" + QString::fromLatin1(key.toHex().left(16)) + ".lock";
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
    QGuiApplication::clipboard()->setText(text);
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
    instanceLock_ = std::make_unique<QLockFile>(instanceLockPath());
    // A lock left by an instance that died is taken over by tryLock.
    return !instanceLock_->tryLock(0);
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
