// Centring the main window with its frame.

#include "WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace tobrik::app {

namespace {

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

void CentreWhenShown(QWidget& window) {
    new Centring(window);
}

} // namespace tobrik::app
