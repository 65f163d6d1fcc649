#pragma once
// The services of the window system and its runtime that the handlers of
// the main window rely on. QtWindowServices is the real implementation;
// tests replace the parts that would need a person (message boxes) or leave
// the test (starting the viewer, ending the program).

#include "LogFolderAccess.h"
#include "LogLocation.h"

#include <QString>
#include <functional>

namespace tobrik::app {

// Message-box style values, numbered as Windows numbers them: buttons in the
// low nibble, icon in the next.
namespace MessageStyle {
inline constexpr int ButtonMask = 0x0F;
inline constexpr int OkOnly = 0x00;
inline constexpr int OkCancel = 0x01;
inline constexpr int IconMask = 0xF0;
inline constexpr int Critical = 0x10;
inline constexpr int Exclamation = 0x30;
inline constexpr int Information = 0x40;
} // namespace MessageStyle

// Buttons a message box returns.
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerCancel = 2;

class WindowServices {
  public:
    virtual ~WindowServices() = default;

    // Modal box; an empty title stands for the application's title.
    // Returns kAnswerOk or kAnswerCancel (closing the box is Cancel).
    virtual int messageBox(const QString& text, int style, const QString& title) = 0;

    // Runs every pending window event, handlers included.
    virtual void processEvents() = 0;

    virtual void clearClipboard() = 0;
    virtual void setClipboardText(const QString& text) = 0;
    // The clipboard's plain text; empty when it holds none or cannot be read.
    virtual QString clipboardText() = 0;

    // Whether another instance of this program is running that writes the
    // log this one chose; takes the log's one-instance lock.
    virtual bool anotherInstanceRunning() = 0;
    // Takes the one-instance lock of another log, one that this instance
    // moves to; true when another running instance holds it.
    virtual bool anotherInstanceWrites(const QString& logPath) = 0;
    // Ends the program at once; no further handler runs.
    virtual void endProgram() = 0;

    // The running executable's directory, without a trailing separator.
    virtual QString executableDirectory() = 0;
    // The environment, folders and files behind the log's place.
    virtual tobrik::log::LogFolderAccess& logFolderAccess() = 0;
    // The log this instance writes, chosen at the first call (the start's
    // check for another instance) from the executable's folder.
    virtual tobrik::log::LogPlace& logPlace() = 0;
    // The current local time as "yyyy/mm/dd hh:mm:ss".
    virtual QString nowText() = 0;
    // Starts program with one argument, without a shell, and without
    // waiting for it: the log's viewer. Where it cannot be started, or (on
    // Linux) ends with a status other than 0, as xdg-open does when it finds
    // no viewer, failed is called once with the reason, at once or later
    // from the event loop. Ending this program does not end it.
    virtual void startProgram(const QString& program, const QString& argument,
                              const std::function<void(const QString& error)>& failed) = 0;
};

} // namespace tobrik::app
