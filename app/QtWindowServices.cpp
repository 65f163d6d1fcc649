// The window services on Qt.

#include "QtWindowServices.h"

#include "ClipboardData.h"
#include "LogLocation.h"
#include "LogViewer.h"
#include "UserTexts.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QMessageBox>
#include <QMimeData>
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
    QMessageBox box(iconOf(style), title.isEmpty() ? QString(texts::kApplicationTitle) : title,
                    text, QMessageBox::NoButton, messageParent_);
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

// One instance per log: the lock is named after the log a sweep would write.
bool QtWindowServices::anotherInstanceRunning() {
    const std::string logPath =
        tobrik::log::ExpectedLogPath(executableDirectory().toStdString(), logFolderAccess());
    return instanceLock_.heldByAnother(QString::fromStdString(logPath));
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

bool QtWindowServices::startProgram(const QString& program, const QString& argument,
                                    QString& error) {
    return StartViewer(program, argument, error);
}

} // namespace tobrik::app
