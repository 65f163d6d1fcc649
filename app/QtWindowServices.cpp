// The window services on Qt.

#include "QtWindowServices.h"

#include "AppPlatform.h"
#include "ClipboardRead.h"
#include "LogLocation.h"
#include "LogViewer.h"
#include "UserTexts.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QMessageBox>
#include <cstdlib>

namespace tobrik::app {

namespace {

QMessageBox::Icon iconOf(int style) {
    switch (style & MessageStyle::IconMask) {
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

} // namespace

QtWindowServices::QtWindowServices() {
    clipboardWatch_ = QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged,
                                       [this] { clipboardStale_ = true; });
}

QtWindowServices::~QtWindowServices() {
    QObject::disconnect(clipboardWatch_);
}

int QtWindowServices::messageBox(const QString& text, int style, const QString& title) {
    QMessageBox box(iconOf(style), title.isEmpty() ? QString(text::kApplicationTitle) : title, text,
                    QMessageBox::NoButton, messageParent_);
    if ((style & MessageStyle::ButtonMask) == MessageStyle::OkCancel) {
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

// An owner that does not answer keeps the clipboard: changing it would
// wait on that owner on the window's thread. Its text is then read anew,
// which passes it over too, as long as the owner does not answer.
void QtWindowServices::clearClipboard() {
    if (!ClipboardOwnerAnswers()) {
        clipboardStale_ = true;
        return;
    }
    QGuiApplication::clipboard()->clear();
    knowClipboardText({});
}

void QtWindowServices::setClipboardText(const QString& text) {
    if (!ClipboardOwnerAnswers()) {
        clipboardStale_ = true;
        return;
    }
    QGuiApplication::clipboard()->setMimeData(ClipboardTextData(text));
    knowClipboardText(text);
}

void QtWindowServices::knowClipboardText(const QString& text) {
    clipboardCache_ = text;
    clipboardStale_ = false;
    clipboardRead_.reset();
}

// A new text is asked for once the clipboard changed. An owner that does not
// hand it over within kClipboardOwnerWait holds no later check up: the text
// counts as empty until its answer comes, which every check looks for. A
// read that could not be made (the clipboard held open by another program,
// an owner that does not answer) is made anew at the next check, which
// does not wait for it.
QString QtWindowServices::clipboardText() {
    auto wait = std::chrono::milliseconds::zero();
    if (clipboardStale_) {
        knowClipboardText({});
        clipboardRead_ = StartClipboardRead();
        wait = kClipboardOwnerWait;
    } else if (clipboardRead_ && clipboardRead_->notNow()) {
        clipboardRead_ = StartClipboardRead();
    }
    if (clipboardRead_) {
        if (auto text = clipboardRead_->text(wait))
            knowClipboardText(*text);
    }
    return clipboardCache_;
}

// One instance per log: the lock is named after the log chosen, which every
// sweep then opens.
bool QtWindowServices::anotherInstanceRunning() {
    return anotherInstanceWrites(QString::fromStdString(logPlace().path));
}

bool QtWindowServices::anotherInstanceWrites(const QString& logPath) {
    return instanceLock_.heldByAnother(logPath);
}

tobrik::log::LogPlace& QtWindowServices::logPlace() {
    if (!logPlace_)
        logPlace_ =
            tobrik::log::ChooseLogPlace(executableDirectory().toStdString(), logFolderAccess());
    return *logPlace_;
}

void QtWindowServices::endProgram() {
    instanceLock_.release();
    std::_Exit(0);
}

QString QtWindowServices::executableDirectory() {
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QString QtWindowServices::nowText() {
    return QDateTime::currentDateTime().toString("yyyy/MM/dd HH:mm:ss");
}

void QtWindowServices::startProgram(const QString& program, const QString& argument,
                                    const std::function<void(const QString& error)>& failed) {
    StartViewer(program, argument, failed);
}

} // namespace tobrik::app
