// Keeping the main window off the taskbar on Linux and the other Unix
// systems: a hint to the X11 window manager. A Qt built without X11 (and
// Wayland, which has no such hint) leaves the taskbar as it is.

#include "Taskbar.h"

#include <QGuiApplication>
#include <QWidget>

#if QT_CONFIG(xcb)
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace tobrik::app {

namespace {

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
    // Qt's offscreen platform answers too, but without an X connection.
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return; // another platform (offscreen, Wayland)
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_atom_t state = internAtom(connection, "_NET_WM_STATE");
    const xcb_atom_t skip = internAtom(connection, "_NET_WM_STATE_SKIP_TASKBAR");
    if (state == XCB_ATOM_NONE || skip == XCB_ATOM_NONE)
        return;
    // One atom, in the 32-bit format that atoms have.
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32, 1, &skip);
    xcb_flush(connection);
}

} // namespace

std::unique_ptr<QWindow> KeepOffTaskbar(QWidget& window) {
    skipTaskbarOnX11(window);
    return nullptr;
}

} // namespace tobrik::app

#else

namespace tobrik::app {

std::unique_ptr<QWindow> KeepOffTaskbar(QWidget&) {
    return nullptr;
}

} // namespace tobrik::app

#endif
