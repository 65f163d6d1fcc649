#pragma once
// The window services on Qt.

#include "WindowServices.h"

#include <QLockFile>
#include <QPointer>
#include <QWidget>
#include <memory>

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
    tobrik::log::LogPlaces& logPlaces() override { return logPlaces_; }
    QString nowText() override;
    bool startProgram(const QString& program, const QString& argument, QString& error) override;

  private:
    QPointer<QWidget> messageParent_;
    std::unique_ptr<QLockFile> instanceLock_;
    // Reading the clipboard can cost a round trip to its owner, so its text
    // is read again only after the clipboard reported a change.
    QString clipboardCache_;
    bool clipboardStale_ = true;
    QMetaObject::Connection clipboardWatch_;
    tobrik::log::LogPlaces logPlaces_;
};

} // namespace tobrik::app
