#pragma once
// The window services on Qt: message boxes, pending events, the clipboard,
// the clock and the executable's folder; the one-instance lock and the
// viewer's start through InstanceLock and LogViewer.

#include "ClipboardRead.h"
#include "InstanceLock.h"
#include "WindowServices.h"

#include <QPointer>
#include <QWidget>

namespace tobrik::app {

class QtWindowServices : public WindowServices {
  public:
    QtWindowServices();
    ~QtWindowServices() override;

    // The window that message boxes belong to.
    void setMessageParent(QWidget* parent) { messageParent_ = parent; }

    int messageBox(const QString& text, int style, const QString& title) override;
    void processEvents() override;
    void clearClipboard() override;
    void setClipboardText(const QString& text) override;
    QString clipboardText() override;
    bool anotherInstanceRunning() override;
    void endProgram() override;
    QString executableDirectory() override;
    tobrik::log::LogFolderAccess& logFolderAccess() override { return logFolderAccess_; }
    QString nowText() override;
    bool startProgram(const QString& program, const QString& argument, QString& error) override;

  private:
    void knowClipboardText(const QString& text);

    QPointer<QWidget> messageParent_;
    InstanceLock instanceLock_;
    // Reading the clipboard can cost a round trip to its owner, so its text
    // is read again only after the clipboard reported a change.
    QString clipboardCache_;
    bool clipboardStale_ = true;
    std::unique_ptr<ClipboardRead> clipboardRead_; // a read the owner has yet to answer
    QMetaObject::Connection clipboardWatch_;
    tobrik::log::LogFolderAccess logFolderAccess_;
};

} // namespace tobrik::app
