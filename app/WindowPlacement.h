#pragma once
// Where the main window shows: centred, and not on the taskbar.

class QWidget;
class QWindow;

namespace tobrik::app {

// Windows gives every top-level window without an owner a taskbar button, so
// there the window gets `owner`, a hidden window that is never shown, as its
// owner. On X11 the window asks the window manager to leave it off the
// taskbar (_NET_WM_STATE_SKIP_TASKBAR). Call before the window is first
// shown; `owner` must live as long as the window.
void KeepOffTaskbar(QWidget& window, QWindow& owner);

// Centres the window on its screen with its frame, as Windows centres a
// dialog. Where the window system draws the frame itself (X11), the window
// is already centred by its client area.
void CentreWithFrame(QWidget& window);

} // namespace tobrik::app
