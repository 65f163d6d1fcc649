#pragma once
// The echo helper's pace: whoever drives it, it sends no more echo requests
// than iputils ping grants an unprivileged user (one per 2 ms, 500 a
// second). A helper that has been idle may send a burst of one whole sweep,
// so that the window's own sweep goes at full speed; a new one starts with
// none, so that starting helper after helper gains nothing. The window
// starts its helper as it opens, well before the first sweep.

#include <chrono>
#include <cstdint>

namespace tobrik::net::linux_net {

inline constexpr int kPacingBurst = 256;                     // requests at once
inline constexpr std::chrono::microseconds kPacingGap{2000}; // then one per gap

// A token bucket of kPacingBurst tokens, one more every kPacingGap, empty at
// the start; kept as the time at which the bucket would be full again.
class RequestPacing {
  public:
    using Clock = std::chrono::steady_clock;
    explicit RequestPacing(Clock::time_point start) : full_(start + kPacingBurst * kPacingGap) {}

    // Takes a token for a request at now: how long the request is to wait
    // for it (zero while the bucket holds one).
    Clock::duration take(Clock::time_point now);

  private:
    Clock::time_point full_;
};

// Waits for the next request's token: sleeps, rather than refusing, so
// that a caller going too fast is slowed, never failed.
void AwaitPace(RequestPacing& pacing);

} // namespace tobrik::net::linux_net
