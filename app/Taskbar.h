#pragma once
// Keeps the main window off the taskbar.

class QWidget;
class QWindow;

namespace tobrik::app {

// Windows gives every top-level window without an owner a taskbar button, so
// there the window gets `owner`, a hidden window that is never shown, as its
// owner. On X11 the window asks the window manager to leave it off the
// taskbar (_NET_WM_STATE_SKIP_TASKBAR). Call before the window is first
// shown; `owner` must live as long as the window.
void KeepOffTaskbar(QWidget& window, QWindow& owner);

} // namespace tobrik::app
