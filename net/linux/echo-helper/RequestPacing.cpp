// The token bucket of the echo helper's requests.

#include "linux/echo-helper/RequestPacing.h"

#include <algorithm>
#include <thread>

namespace tobrik::net::linux_net {

RequestPacing::Clock::duration RequestPacing::take(Clock::time_point now) {
    // The bucket cannot be fuller than full: time before full_ adds nothing.
    full_ = std::max(full_, now) + kPacingGap;
    const auto empty = full_ - kPacingBurst * kPacingGap;
    return std::max(Clock::duration::zero(), empty - now);
}

void AwaitPace(RequestPacing& pacing) {
    const auto wait = pacing.take(RequestPacing::Clock::now());
    if (wait > RequestPacing::Clock::duration::zero())
        std::this_thread::sleep_for(wait);
}

} // namespace tobrik::net::linux_net
