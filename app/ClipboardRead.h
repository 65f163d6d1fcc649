#pragma once
// Reading the clipboard's text for the stop check, so that an owner that
// does not answer holds the sweep up briefly, not for the toolkit's own
// time-outs. Each system's part is in AppPlatformLinux.cpp and
// AppPlatformWindows.cpp.

#include <QString>
#include <chrono>
#include <memory>
#include <optional>

namespace tobrik::app {

// How long the stop check waits for the clipboard's owner to hand its text
// over: far longer than an owner that runs needs, far shorter than the 5 s
// that Qt waits on X11, twice, for one that is frozen.
inline constexpr std::chrono::milliseconds kClipboardOwnerWait{250};

// One read of the clipboard's text, started when the clipboard changed.
class ClipboardRead {
  public:
    virtual ~ClipboardRead() = default;
    // The text, once the owner has handed it over (empty when the
    // clipboard holds none); nothing while it has not, after waiting for it
    // at most wait. A later call may still find the answer.
    virtual std::optional<QString> text(std::chrono::milliseconds wait) = 0;
    // Whether the read ended without the text: another program held the
    // clipboard open, or its owner did not answer. It is then read anew.
    virtual bool notNow() { return false; }
};

// Asks the clipboard's owner for its text.
std::unique_ptr<ClipboardRead> StartClipboardRead();

// Whether the clipboard may be changed without waiting on its owner: false
// only on Windows, for an owner in another program that does not answer at
// once (emptying the clipboard sends it WM_DESTROYCLIPBOARD and waits).
bool ClipboardOwnerAnswers();

// A read through Qt's clipboard, which answers at once but for an owner in
// another program on X11 and on Windows.
std::unique_ptr<ClipboardRead> QtClipboardRead();

} // namespace tobrik::app
