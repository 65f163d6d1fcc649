// Centring the main window with its frame, and keeping it off the taskbar.

#include "WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#if QT_CONFIG(xcb)
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
    // One atom, in the 32-bit format that atoms have.
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32, 1, &skip);
    xcb_flush(connection);
}
#endif

// Puts the window where its frame, of the given margins, is centred in the
// available area of its screen.
void centre(QWidget& window, const QMargins& frame) {
    const QScreen* screen = window.screen();
    if (!screen)
        return;
    QRect outer(QPoint(), window.size().grownBy(frame));
    outer.moveCenter(screen->availableGeometry().center());
    window.setGeometry(QRect(outer.topLeft() + QPoint(frame.left(), frame.top()), window.size()));
}

// Centres the window on its first show and, should the frame have changed by
// then, on its first exposure; then removes itself.
class Centring : public QObject {
  public:
    explicit Centring(QWidget& window) : QObject(&window), window_(window) {
        window_.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::Show) {
            window_.removeEventFilter(this);
            native_ = window_.windowHandle();
            if (!native_)
                return false;
            margins_ = native_->frameMargins();
            centre(window_, margins_);
            native_->installEventFilter(this);
        } else if (watched == native_ && event->type() == QEvent::Expose && native_->isExposed()) {
            native_->removeEventFilter(this);
            if (native_->frameMargins() != margins_)
                centre(window_, native_->frameMargins());
            deleteLater();
        }
        return false;
    }

  private:
    QWidget& window_;
    QWindow* native_ = nullptr;
    QMargins margins_;
};

} // namespace

std::unique_ptr<QWindow> KeepOffTaskbar(QWidget& window) {
#if defined(Q_OS_WIN)
    // Qt gives a top-level window its transient parent as the Windows owner
    // each time the window is shown.
    auto owner = std::make_unique<QWindow>();
    owner->create();
    window.winId();
    window.windowHandle()->setTransientParent(owner.get());
    return owner;
#else
#if defined(TOBRIK_X11_HINTS)
    skipTaskbarOnX11(window);
#else
    (void)window;
#endif
    return nullptr;
#endif
}

void CentreWhenShown(QWidget& window) {
    new Centring(window);
}

} // namespace tobrik::app
