#pragma once
// What the window does differently on Linux and on Windows. The bodies of
// each system are in AppPlatformLinux.cpp and AppPlatformWindows.cpp, of
// which CMake builds one. Beside the functions below, those files hold
// each system's part of the clipboard read (ClipboardRead.h), the
// instance lock's folder (InstanceLock.h), the log's viewer (LogViewer.h)
// and the start of the session (ApplicationSetup.h).

#include <QFont>
#include <QString>
#include <QStringList>
#include <QWindow>
#include <memory>

class QMimeData;
class QWidget;

namespace tobrik::app {

// The size of the classic dialog face, which the fixed layout is made for.
inline constexpr int kDialogPointSize = 9;

// The dialog font the window's fixed geometry is laid out for: a
// proportional Japanese face at 9 pt, whose proportional kana let every
// caption fit its label.
QFont DialogFont();

// What the program puts on the clipboard for a text (the stop text): the
// text for every program that reads it and, on Windows, the marks that keep
// it out of the clipboard history and the cloud clipboard. The caller owns
// what is returned.
QMimeData* ClipboardTextData(const QString& text);

// Keeps the main window off the taskbar. Windows gives every top-level
// window without an owner a taskbar button, so there the window gets a
// hidden window that is never shown as its owner, which the caller keeps
// for as long as the window lives. On X11 the window asks the window
// manager to leave it off the taskbar (_NET_WM_STATE_SKIP_TASKBAR) and no
// owner is made. Call before the window is first shown.
std::unique_ptr<QWindow> KeepOffTaskbar(QWidget& window);

} // namespace tobrik::app
