#include "WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#if QT_CONFIG(xcb) && __has_include(<xcb/xcb.h>)
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>
#define TOBRIK_X11_HINTS 1
#endif

namespace tobrik::app {

namespace {

#if defined(TOBRIK_X11_HINTS)
xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    const auto cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// Sets the state on the window before it is mapped, which is when a window
// manager reads it; Qt merges its own states into what it finds there.
void skipTaskbarOnX11(QWidget& window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return; // another platform (offscreen, Wayland)
    xcb_connection_t* connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_atom_t state = internAtom(connection, "_NET_WM_STATE");
    const xcb_atom_t skip = internAtom(connection, "_NET_WM_STATE_SKIP_TASKBAR");
    if (state == XCB_ATOM_NONE || skip == XCB_ATOM_NONE)
        return;
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32, 1, &skip);
    xcb_flush(connection);
}
#endif

} // namespace

void KeepOffTaskbar(QWidget& window, QWindow& owner) {
#if defined(Q_OS_WIN)
    // Qt gives a top-level window its transient parent as the Windows owner
    // each time the window is shown.
    owner.create();
    window.winId();
    window.windowHandle()->setTransientParent(&owner);
#else
    (void)owner;
#if defined(TOBRIK_X11_HINTS)
    skipTaskbarOnX11(window);
#else
    (void)window;
#endif
#endif
}

void CentreWithFrame(QWidget& window) {
#if defined(Q_OS_WIN)
    // The frame's size is known once the native window exists.
    window.winId();
    if (const QScreen* screen = window.screen())
        window.move(window.pos() + screen->availableGeometry().center() -
                    window.frameGeometry().center());
#else
    (void)window;
#endif
}

} // namespace tobrik::app
