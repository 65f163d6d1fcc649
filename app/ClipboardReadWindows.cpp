// Reading the clipboard's text on Windows. Another program's text is read
// on a thread of its own, so that the wait for it has a bound of ours:
// GetClipboardData asks an owner that renders on request (WM_RENDERFORMAT)
// and waits for its answer without a bound, and another program may hold
// the clipboard open. Qt's clipboard reads on the window's thread, which a
// frozen owner would freeze with it. The program's own clipboard is
// answered by Qt on the window's thread, so Qt's clipboard serves there.

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

// What the reading thread hands over. Shared, as the thread outlives a read
// whose owner never answers; it then ends with the program.
struct Answer {
    std::mutex mutex;
    std::condition_variable given;
    std::optional<QString> text;

    void give(QString t) {
        const std::lock_guard lock(mutex);
        text = std::move(t);
        given.notify_all();
    }
};

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

// The clipboard's text, empty when it holds none or stays held open by
// another program past openBy.
QString clipboardText(Clock::time_point openBy) {
    while (!OpenClipboard(nullptr)) {
        if (Clock::now() >= openBy)
            return {};
        Sleep(kOpenRetryMs);
    }
    QString text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT))
        text = lockedText(data);
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
            answer_->give({}); // no thread to read with: the text counts as empty
        }
    }

    std::optional<QString> text(std::chrono::milliseconds wait) override {
        std::unique_lock lock(answer_->mutex);
        answer_->given.wait_for(lock, wait, [this] { return answer_->text.has_value(); });
        return answer_->text;
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

} // namespace tobrik::app
