#pragma once
// The window services on Qt: message boxes, pending events, the clipboard,
// the clock, the executable's folder and the log's place; the one-instance
// lock and the viewer's start through InstanceLock and LogViewer.

#include "ClipboardRead.h"
#include "InstanceLock.h"
#include "WindowServices.h"

#include <QPointer>
#include <QWidget>
#include <optional>

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
    bool anotherInstanceWrites(const QString& logPath) override;
    void endProgram() override;
    QString executableDirectory() override;
    tobrik::log::LogFolderAccess& logFolderAccess() override { return logFolderAccess_; }
    tobrik::log::LogPlace& logPlace() override;
    QString nowText() override;
    void startProgram(const QString& program, const QString& argument,
                      const std::function<void(const QString& error)>& failed) override;

  protected:
    // Forgets the log's place, to be chosen again (a test's new folder).
    void forgetLogPlace() { logPlace_.reset(); }

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
    std::optional<tobrik::log::LogPlace> logPlace_;
};

} // namespace tobrik::app
