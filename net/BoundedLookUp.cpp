#include "BoundedLookUp.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace tobrik::net {

namespace {

// A trivially destructible counter: a detached look-up that ends while the
// program exits may still touch it.
std::atomic<int> running{0};

// What the caller and its look-up thread share; it lives as long as the
// longer of the two holds it.
struct Pending {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::optional<std::string> answer;
};

bool reserveSlot() {
    int count = running.load();
    do {
        if (count >= kRunningLookUpLimit)
            return false;
    } while (!running.compare_exchange_weak(count, count + 1));
    return true;
}

} // namespace

std::optional<std::string> BoundedLookUp(LookUp lookUp, std::chrono::milliseconds bound) {
    if (!reserveSlot())
        return std::nullopt;
    auto pending = std::make_shared<Pending>();
    try {
        std::thread([pending, lookUp = std::move(lookUp)] {
            std::optional<std::string> answer;
            try {
                answer = lookUp();
            } catch (...) {
                // A look-up that fails found no name.
            }
            {
                std::lock_guard lock(pending->mutex);
                pending->answer = std::move(answer);
                pending->finished = true;
            }
            pending->done.notify_one();
            running.fetch_sub(1);
        }).detach();
    } catch (const std::system_error&) {
        running.fetch_sub(1);
        return std::nullopt;
    }
    std::unique_lock lock(pending->mutex);
    if (!pending->done.wait_for(lock, bound, [&] { return pending->finished; }))
        return std::nullopt;
    return std::move(pending->answer);
}

int RunningLookUps() {
    return running.load();
}

} // namespace tobrik::net
