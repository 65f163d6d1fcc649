// Reading the clipboard's text on Linux and the other Unix systems. On X11
// the text of another program's clipboard is asked for over a connection
// of the program's own, so the wait for an owner that does not answer has a
// bound of ours; elsewhere (Wayland, the offscreen platform, the program's
// own clipboard) Qt's clipboard serves.

#include "ClipboardRead.h"

#include <QClipboard>
#include <QGuiApplication>

#if QT_CONFIG(xcb)
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <xcb/xcb.h>

namespace tobrik::app {

namespace {

using Clock = std::chrono::steady_clock;

// The most of a text that is read: far more than the stop text, which is
// all the reader is asked about, in 32-bit units as X counts them.
constexpr std::uint32_t kLongestTextUnits = 64 * 1024;

struct Connection {
    xcb_connection_t* x = nullptr;
    xcb_window_t root = 0;
    xcb_atom_t clipboard = XCB_ATOM_NONE;
    xcb_atom_t utf8 = XCB_ATOM_NONE;
    xcb_atom_t incremental = XCB_ATOM_NONE;
    xcb_atom_t property = XCB_ATOM_NONE;
};

xcb_atom_t internAtom(xcb_connection_t* x, const char* name) {
    const auto cookie = xcb_intern_atom(x, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(x, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// The connection of the reads, opened at the first and kept; null when the
// display cannot be reached.
Connection* connection() {
    static Connection* const kept = []() -> Connection* {
        xcb_connection_t* x = xcb_connect(nullptr, nullptr);
        const xcb_setup_t* setup = xcb_connection_has_error(x) ? nullptr : xcb_get_setup(x);
        if (!setup) {
            xcb_disconnect(x);
            return nullptr;
        }
        auto* c = new Connection{x, xcb_setup_roots_iterator(setup).data->root};
        c->clipboard = internAtom(x, "CLIPBOARD");
        c->utf8 = internAtom(x, "UTF8_STRING");
        c->incremental = internAtom(x, "INCR");
        c->property = internAtom(x, "TOBRIK_CLIPBOARD_TEXT");
        return c;
    }();
    return kept;
}

// One read: a window of its own asks the owner to convert the selection to
// UTF-8 text, or else to Latin-1 text, and receives it in a property. An
// answer that comes after the read was dropped goes to a window that no
// longer exists, so it is never taken for a later read's.
class X11Read final : public ClipboardRead {
  public:
    explicit X11Read(Connection& c) : c_(c), window_(xcb_generate_id(c.x)) {
        xcb_create_window(c.x, XCB_COPY_FROM_PARENT, window_, c.root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        ask(c.utf8);
    }
    ~X11Read() override {
        xcb_destroy_window(c_.x, window_);
        xcb_flush(c_.x);
    }
    X11Read(const X11Read&) = delete;
    X11Read& operator=(const X11Read&) = delete;

    std::optional<QString> text(std::chrono::milliseconds wait) override {
        const auto deadline = Clock::now() + wait;
        while (!answer_) {
            if (xcb_connection_has_error(c_.x))
                return QString();
            if (xcb_generic_event_t* event = xcb_poll_for_event(c_.x)) {
                take(*event);
                std::free(event);
                continue;
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                break;
            pollfd entry{xcb_get_file_descriptor(c_.x), POLLIN, 0};
            if (poll(&entry, 1, static_cast<int>(left.count())) < 0 && errno != EINTR)
                return QString();
        }
        return answer_;
    }

  private:
    void ask(xcb_atom_t target) {
        target_ = target;
        xcb_convert_selection(c_.x, window_, c_.clipboard, target, c_.property, XCB_CURRENT_TIME);
        xcb_flush(c_.x);
    }

    // The owner's answer: the text in the property, or a refusal (no owner,
    // or no such form of text), upon which Latin-1 text is asked for.
    void take(const xcb_generic_event_t& event) {
        constexpr std::uint8_t kSentByAClient = 0x80;
        if ((event.response_type & ~kSentByAClient) != XCB_SELECTION_NOTIFY)
            return;
        const auto& notify = reinterpret_cast<const xcb_selection_notify_event_t&>(event);
        if (notify.requestor != window_)
            return;
        if (notify.property != XCB_ATOM_NONE)
            answer_ = property();
        else if (target_ == c_.utf8)
            ask(XCB_ATOM_STRING);
        else
            answer_ = QString();
    }

    // The text that the owner left in the property, which is then removed. A
    // text sent in pieces (INCR) is longer than any the program looks for.
    QString property() {
        const auto cookie = xcb_get_property(c_.x, 1, window_, c_.property,
                                             XCB_GET_PROPERTY_TYPE_ANY, 0, kLongestTextUnits);
        xcb_get_property_reply_t* reply = xcb_get_property_reply(c_.x, cookie, nullptr);
        QString text;
        if (reply && reply->format == 8 && reply->type != c_.incremental) {
            const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply));
            const int length = xcb_get_property_value_length(reply);
            text = reply->type == c_.utf8 ? QString::fromUtf8(bytes, length)
                                          : QString::fromLatin1(bytes, length);
        }
        std::free(reply);
        return text;
    }

    Connection& c_;
    xcb_window_t window_;
    xcb_atom_t target_ = XCB_ATOM_NONE;
    std::optional<QString> answer_;
};

} // namespace

std::unique_ptr<ClipboardRead> StartClipboardRead() {
    // The program's own clipboard is answered by Qt on this thread, which
    // would not answer while the read waits.
    if (QGuiApplication::platformName() != "xcb" || QGuiApplication::clipboard()->ownsClipboard())
        return QtClipboardRead();
    if (Connection* c = connection())
        return std::make_unique<X11Read>(*c);
    return QtClipboardRead();
}

} // namespace tobrik::app

#else

namespace tobrik::app {

std::unique_ptr<ClipboardRead> StartClipboardRead() {
    return QtClipboardRead();
}

} // namespace tobrik::app

#endif

namespace tobrik::app {

// X11 hands the clipboard over without asking the owner before.
bool ClipboardOwnerAnswers() {
    return true;
}

} // namespace tobrik::app
