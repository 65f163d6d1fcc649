// What the window does on Windows: the DLL search limited before anything
// loads, the UI faces of a Japanese Windows, the clipboard's text kept out
// of the clipboard history and read on a thread of its own, a hidden owner
// window that keeps the window off the taskbar, the lock in the user's
// temporary folder and notepad.exe of the system folder as the log's
// viewer.

#include "AppPlatform.h"
#include "ApplicationSetup.h"
#include "ClipboardRead.h"
#include "InstanceLock.h"
#include "LogViewer.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QWidget>
#include <algorithm>
#include <condition_variable>
#include <cwchar>
#include <mutex>
#include <system_error>
#include <thread>
#include <windows.h>

namespace tobrik::app {

namespace {

// ---- The clipboard read ----------------------------------------------------
// Another program's text is read on a thread of its own, so that the wait
// for it has a bound of ours: GetClipboardData asks an owner that renders
// on request (WM_RENDERFORMAT) and waits for its answer without a bound,
// and another program may hold the clipboard open. Qt's clipboard reads on
// the window's thread, which a frozen owner would freeze with it. The
// program's own clipboard is answered by Qt on the window's thread, so Qt's
// clipboard serves there.
// An owner that does not answer is not asked for its text at all: a read
// stuck in GetClipboardData would keep the clipboard open, and every
// program, this one included, could then change it no more.

using Clock = std::chrono::steady_clock;

// The most of a text that is read, in UTF-16 units: far more than the stop
// text, which is all the reader is asked about.
constexpr std::size_t kLongestText = 64 * 1024;

// How often opening a clipboard that another program holds open is tried.
constexpr DWORD kOpenRetryMs = 10;

// How long an owner in another program has to answer a message that asks
// nothing of it: a running one answers at once.
constexpr UINT kOwnerAnswerMs = 100;

// What the reading thread hands over: the text, or that it could not be
// read now. Shared, as the thread may outlive the read.
struct Answer {
    std::mutex mutex;
    std::condition_variable given;
    std::optional<QString> text;
    bool notNow = false;

    void give(std::optional<QString> t) {
        const std::lock_guard lock(mutex);
        text = std::move(t);
        notNow = !text;
        given.notify_all();
    }
};

// Whether the window answers a message within kOwnerAnswerMs; no window, or
// one of this program, counts as answering.
bool answers(HWND window) {
    DWORD process = 0;
    if (!window || !GetWindowThreadProcessId(window, &process) || process == GetCurrentProcessId())
        return true;
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kOwnerAnswerMs, &result) !=
           0;
}

// The text of the clipboard's Unicode text, at most kLongestText units.
QString lockedText(HANDLE data) {
    const auto* units = static_cast<const wchar_t*>(GlobalLock(data));
    if (!units)
        return {};
    const std::size_t room = std::min(GlobalSize(data) / sizeof(wchar_t), kLongestText);
    QString text = QString::fromWCharArray(units, int(wcsnlen(units, room)));
    GlobalUnlock(data);
    return text;
}

// The clipboard's text, empty when it holds none; nothing when its owner
// does not answer, or another program holds it open past openBy. The owner
// is asked before the clipboard is opened, which no wait then keeps open,
// and must still be the owner once it is.
std::optional<QString> clipboardText(Clock::time_point openBy) {
    const HWND owner = GetClipboardOwner();
    if (!answers(owner))
        return std::nullopt;
    while (!OpenClipboard(nullptr)) {
        if (Clock::now() >= openBy)
            return std::nullopt;
        Sleep(kOpenRetryMs);
    }
    std::optional<QString> text;
    if (GetClipboardOwner() == owner) {
        text.emplace();
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT))
            text = lockedText(data);
    }
    CloseClipboard();
    return text;
}

class ThreadRead final : public ClipboardRead {
  public:
    ThreadRead() : answer_(std::make_shared<Answer>()) {
        const auto openBy = Clock::now() + kClipboardOwnerWait;
        try {
            std::thread([answer = answer_, openBy] {
                answer->give(clipboardText(openBy));
            }).detach();
        } catch (const std::system_error&) {
            answer_->give(std::nullopt); // no thread to read with now
        }
    }

    std::optional<QString> text(std::chrono::milliseconds wait) override {
        std::unique_lock lock(answer_->mutex);
        answer_->given.wait_for(lock, wait,
                                [this] { return answer_->text.has_value() || answer_->notNow; });
        return answer_->text;
    }

    bool notNow() override {
        const std::lock_guard lock(answer_->mutex);
        return answer_->notNow;
    }

  private:
    std::shared_ptr<Answer> answer_;
};

} // namespace

// ---- The session -----------------------------------------------------------

// Every DLL loaded from here on comes from the program's folder or the
// system's, none from the current folder or PATH. The display platform is
// always there, and Qt chooses it.
PlatformChoice PrepareSession() {
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    return {true, nullptr};
}

// ---- The dialog font -------------------------------------------------------

// The UI faces of a Japanese Windows.
QFont DialogFont() {
    QFont font;
    // MS UI Gothic, the classic dialog face, then those of later versions.
    // The system's message font may be one without kana, or a Western one
    // that is missing.
    font.setFamilies({"MS UI Gothic", "Yu Gothic UI", "Meiryo UI"});
    // Glyph advances as the face designs them (DirectWrite), not widened to
    // whole pixels by GDI's hinting, which would clip "255" in an octet box.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setPointSize(kDialogPointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// ---- The taskbar -----------------------------------------------------------

// A hidden owner window: Qt gives a top-level window its transient parent as
// the Windows owner each time the window is shown.
std::unique_ptr<QWindow> KeepOffTaskbar(QWidget& window) {
    auto owner = std::make_unique<QWindow>();
    owner->create();
    window.winId();
    window.windowHandle()->setTransientParent(owner.get());
    return owner;
}

// ---- The clipboard ---------------------------------------------------------

// The text, kept out of the clipboard history and the cloud clipboard.
QMimeData* ClipboardTextData(const QString& text) {
    auto* data = new QMimeData;
    data->setText(text);
    // Registered clipboard formats that Windows reads as a DWORD: 0 keeps
    // the text out of the clipboard history (Win+V) and the cloud clipboard.
    // Qt registers a format that is no MIME type under its own name and
    // puts these bytes there as they are.
    const QByteArray zero(sizeof(DWORD), '\0');
    for (const char* format : {"CanIncludeInClipboardHistory", "CanUploadToCloudClipboard"})
        data->setData(format, zero);
    return data;
}

std::unique_ptr<ClipboardRead> StartClipboardRead() {
    if (QGuiApplication::clipboard()->ownsClipboard())
        return QtClipboardRead();
    return std::make_unique<ThreadRead>();
}

bool ClipboardOwnerAnswers() {
    return answers(GetClipboardOwner());
}

// ---- The instance lock -----------------------------------------------------

// Windows gives every user a temporary folder of their own.
QString InstanceLockFolder() {
    return QDir::tempPath();
}

QString PathKey(const QString& path) {
    return path.toLower();
}

// ---- The log's viewer ------------------------------------------------------
// notepad.exe of the system folder, which tells of its own failures once it
// runs.

QString ViewerProgram() {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    // Without the system folder no viewer is started: the start fails and
    // says so, rather than search the current folder.
    if (length == 0 || length >= MAX_PATH)
        return {};
    return QDir::toNativeSeparators(QString::fromWCharArray(folder, int(length)) + "/notepad.exe");
}

void StartViewer(const QString& program, const QString& argument,
                 const std::function<void(const QString& error)>& failed) {
    QProcess process;
    PrepareViewer(process, program, argument);
    if (!process.startDetached())
        failed(process.errorString());
}

} // namespace tobrik::app
