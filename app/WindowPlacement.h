#pragma once
// Where the main window shows: centred, and not on the taskbar.

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

// Centres the window on its screen with its frame, as Windows centres a
// dialog: when it is first shown, as its native window exists then (Windows
// knows the frame from then on), and again when it is first exposed if the
// frame has changed meanwhile (a window manager on X11 frames the window
// only when it maps it). A window moved before its native window exists
// would have its frame's corner put where the client area was meant to go.
void CentreWhenShown(QWidget& window);

} // namespace tobrik::app
