// What the window does on Linux and the other Unix systems: X11 or Wayland
// as the environment offers them, IPA's Gothic, the plain text on the
// clipboard, the clipboard read over a connection of the program's own on
// X11, the window manager's hint that keeps the window off the taskbar, the
// lock in a folder of the user's own and xdg-open as the log's viewer. A Qt
// built without X11 reads the clipboard through Qt and leaves the taskbar
// as it is.

#include "AppPlatform.h"
#include "ApplicationSetup.h"
#include "ClipboardRead.h"
#include "InstanceLock.h"
#include "LogViewer.h"
#include "UserTexts.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QWidget>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#if QT_CONFIG(xcb)
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <xcb/xcb.h>
#endif

namespace tobrik::app {

namespace {

#if QT_CONFIG(xcb)

using Clock = std::chrono::steady_clock;

// The most of a text that is read: far more than the stop text, which is
// all the reader is asked about, in 32-bit units as X counts them.
constexpr std::uint32_t kLongestTextUnits = 64 * 1024;

// The atom of name, for the clipboard read and the taskbar hint alike.
xcb_atom_t internAtom(xcb_connection_t* x, const char* name) {
    const auto cookie = xcb_intern_atom(x, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(x, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// ---- The clipboard read on X11 ---------------------------------------------
// The text of another program's clipboard is asked for over a connection of
// the program's own, so the wait for an owner that does not answer has a
// bound of ours; elsewhere (Wayland, the offscreen platform, the program's
// own clipboard) Qt's clipboard serves.

struct Connection {
    xcb_connection_t* x = nullptr;
    xcb_window_t root = 0;
    xcb_atom_t clipboard = XCB_ATOM_NONE;
    xcb_atom_t utf8 = XCB_ATOM_NONE;
    xcb_atom_t incremental = XCB_ATOM_NONE;
    xcb_atom_t property = XCB_ATOM_NONE;
};

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

// ---- The taskbar hint on X11 -----------------------------------------------

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

#endif // QT_CONFIG(xcb)

constexpr mode_t kOwnerOnly = 0700;
constexpr mode_t kAllModeBits = 07777; // permissions with set-id and sticky bits

// A folder that only this user can write: a lock that a dead instance left
// there can be taken over. In a shared folder such as /tmp (sticky) a lock
// left by another user could not be removed and would refuse every start.
// A folder of the user's own with any other mode (one left read-only, too)
// is set back to 0700.
QString privateFolder(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    ::mkdir(name.constData(), kOwnerOnly);
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::geteuid())
        return {};
    if ((info.st_mode & kAllModeBits) != kOwnerOnly && ::chmod(name.constData(), kOwnerOnly) != 0)
        return {};
    return path;
}

} // namespace

// ---- The session -----------------------------------------------------------

// The display platform: X11 or Wayland, as the environment offers them.
PlatformChoice PrepareSession() {
    return ChoosePlatform(std::getenv("QT_QPA_PLATFORM"), std::getenv("WAYLAND_DISPLAY"),
                          std::getenv("DISPLAY"));
}

// ---- The dialog font -------------------------------------------------------

// IPA's proportional Gothic.
QFont DialogFont() {
    QFont font;
    // IPAPGothic has proportional kana; VL PGothic (full-width kana) is the
    // fallback that still shows every character.
    font.setFamilies({"IPAPGothic", "VL PGothic"});
    font.setPointSize(kDialogPointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// ---- The taskbar -----------------------------------------------------------

std::unique_ptr<QWindow> KeepOffTaskbar([[maybe_unused]] QWidget& window) {
#if QT_CONFIG(xcb)
    skipTaskbarOnX11(window);
#endif
    return nullptr;
}

// ---- The clipboard ---------------------------------------------------------

// The text alone.
QMimeData* ClipboardTextData(const QString& text) {
    auto* data = new QMimeData;
    data->setText(text);
    return data;
}

std::unique_ptr<ClipboardRead> StartClipboardRead() {
#if QT_CONFIG(xcb)
    // The program's own clipboard is answered by Qt on this thread, which
    // would not answer while the read waits.
    if (QGuiApplication::platformName() == "xcb" && !QGuiApplication::clipboard()->ownsClipboard())
        if (Connection* c = connection())
            return std::make_unique<X11Read>(*c);
#endif
    return QtClipboardRead();
}

// X11 hands the clipboard over without asking the owner before.
bool ClipboardOwnerAnswers() {
    return true;
}

// ---- The instance lock -----------------------------------------------------

// The user's runtime folder, or else a folder of the user's own under the
// temporary folder.
QString InstanceLockFolder() {
    // Without XDG_RUNTIME_DIR Qt would warn and pick a folder named after
    // the user, which a user without a name cannot have.
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (!runtime.isEmpty())
            return runtime;
    }
    return privateFolder(QDir::tempPath() + "/tobrik-" + QString::number(::geteuid()));
}

QString PathKey(const QString& path) {
    return path;
}

// ---- The log's viewer ------------------------------------------------------
// The desktop's own program for the file, through xdg-open, which says by
// its exit status whether it found one.

QString ViewerProgram() {
    return "xdg-open";
}

// The process is watched from the event loop (Qt learns of its end through a
// descriptor of the child), so the window never waits for it. Nothing owns
// it: it deletes itself once the viewer has ended, and the program's end
// (std::_Exit) leaves it running, in a session of its own, out of reach of a
// terminal's signals to this program. Its output goes where this program's
// goes, so no pipe can fill up and hold it.
void StartViewer(const QString& program, const QString& argument,
                 const std::function<void(const QString& error)>& failed) {
    auto* process = new QProcess;
    PrepareViewer(*process, program, argument);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setChildProcessModifier([] { ::setsid(); });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, failed](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return; // a crash is told as the process finishes
                         failed(process->errorString());
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::finished, process,
                     [process, failed](int status, QProcess::ExitStatus exit) {
                         if (exit == QProcess::CrashExit)
                             failed(process->errorString());
                         else if (status != 0)
                             failed(QString(text::kViewerExitStatus).arg(status));
                         process->deleteLater();
                     });
    process->start();
}

} // namespace tobrik::app
