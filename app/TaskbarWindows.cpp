// Keeping the main window off the taskbar on Windows: a hidden owner window.

#include "Taskbar.h"

#include <QWidget>

namespace tobrik::app {

// Qt gives a top-level window its transient parent as the Windows owner each
// time the window is shown.
std::unique_ptr<QWindow> KeepOffTaskbar(QWidget& window) {
    auto owner = std::make_unique<QWindow>();
    owner->create();
    window.winId();
    window.windowHandle()->setTransientParent(owner.get());
    return owner;
}

} // namespace tobrik::app
