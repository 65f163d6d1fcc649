#pragma once
// Keeping the main window off the taskbar; each system's way is in
// TaskbarUnix.cpp or TaskbarWindows.cpp.

#include <QWindow>
#include <memory>

class QWidget;

namespace tobrik::app {

// Windows gives every top-level window without an owner a taskbar button, so
// there the window gets a hidden window that is never shown as its owner,
// which the caller keeps for as long as the window lives. On X11 the window
// asks the window manager to leave it off the taskbar
// (_NET_WM_STATE_SKIP_TASKBAR) and no owner is made. Call before the window
// is first shown.
std::unique_ptr<QWindow> KeepOffTaskbar(QWidget& window);

} // namespace tobrik::app
