// Reading the clipboard's text on Windows. Another program's text is read
// on a thread of its own, so that the wait for it has a bound of ours:
// GetClipboardData asks an owner that renders on request (WM_RENDERFORMAT)
// and waits for its answer without a bound, and another program may hold
// the clipboard open. Qt's clipboard reads on the window's thread, which a
// frozen owner would freeze with it. The program's own clipboard is
// answered by Qt on the window's thread, so Qt's clipboard serves there.
// An owner that does not answer is not asked for its text at all: a read
// stuck in GetClipboardData would keep the clipboard open, and every
// program, this one included, could then change it no more.

#include "ClipboardRead.h"

#include <QClipboard>
#include <QGuiApplication>
#include <algorithm>
#include <condition_variable>
#include <cwchar>
#include <mutex>
#include <system_error>
#include <thread>
#include <windows.h>

namespace tobrik::app {

namespace {

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

std::unique_ptr<ClipboardRead> StartClipboardRead() {
    if (QGuiApplication::clipboard()->ownsClipboard())
        return QtClipboardRead();
    return std::make_unique<ThreadRead>();
}

bool ClipboardOwnerAnswers() {
    return answers(GetClipboardOwner());
}

} // namespace tobrik::app
