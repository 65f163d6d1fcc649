#pragma once
// Where the main window shows: centred on its screen.

class QWidget;

namespace tobrik::app {

// Centres the window on its screen with its frame, as Windows centres a
// dialog: when it is first shown, as its native window exists then (Windows
// knows the frame from then on), and again when it is first exposed if the
// frame has changed meanwhile (a window manager on X11 frames the window
// only when it maps it). A window moved before its native window exists
// would have its frame's corner put where the client area was meant to go.
void CentreWhenShown(QWidget& window);

} // namespace tobrik::app
