// The worker pool behind the time-limited name look-up.

#include "BoundedLookUp.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <thread>
#include <utility>

namespace tobrik::net {

namespace {

// How long a worker without work stays for the next look-up. Reusing a
// thread matters: the resolver sets up its per-thread state anew in each
// thread, which costs more than most look-ups.
constexpr std::chrono::seconds kIdleLife{30};

// What a caller and the worker doing its look-up share; it lives as long as
// the longer of the two holds it.
struct Pending {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::optional<std::string> answer;
};

struct Job {
    std::shared_ptr<Pending> pending;
    LookUp lookUp;
};

struct Pool {
    std::mutex mutex;
    std::condition_variable work;
    std::deque<Job> jobs;
    int threads = 0; // workers alive
    int idle = 0;    // workers waiting for work and not yet handed a job
};

// Never destroyed: detached workers, an abandoned one still in the
// resolver included, use it until the process ends.
Pool& pool() {
    static Pool* const instance = new Pool;
    return *instance;
}

void run(Job job) {
    std::optional<std::string> answer;
    try {
        answer = job.lookUp();
    } catch (...) {
        // A look-up that fails found no name.
    }
    {
        std::lock_guard lock(job.pending->mutex);
        job.pending->answer = std::move(answer);
        job.pending->finished = true;
    }
    job.pending->done.notify_one();
}

void work() {
    Pool& p = pool();
    std::unique_lock lock(p.mutex);
    for (;;) {
        if (!p.work.wait_for(lock, kIdleLife, [&] { return !p.jobs.empty(); })) {
            --p.idle;
            --p.threads;
            return;
        }
        Job job = std::move(p.jobs.front());
        p.jobs.pop_front();
        lock.unlock();
        run(std::move(job));
        lock.lock();
        ++p.idle;
    }
}

// Hands the job to an idle worker, else to a new one while fewer than the
// limit exist; false when neither can take it.
bool dispatch(Job job) {
    Pool& p = pool();
    std::lock_guard lock(p.mutex);
    if (p.idle > 0) {
        p.jobs.push_back(std::move(job));
        --p.idle;
        p.work.notify_one();
        return true;
    }
    if (p.threads >= kRunningLookUpLimit)
        return false;
    // A thread that cannot be had (std::system_error) or allocated
    // (std::bad_alloc) leaves no job queued without a worker.
    p.jobs.push_back(std::move(job));
    try {
        std::thread(work).detach();
    } catch (const std::exception&) {
        p.jobs.pop_back();
        return false;
    }
    ++p.threads;
    return true;
}

} // namespace

std::optional<std::string> BoundedLookUp(LookUp lookUp, std::chrono::milliseconds bound) {
    std::shared_ptr<Pending> pending;
    try {
        pending = std::make_shared<Pending>();
        if (!dispatch({pending, std::move(lookUp)}))
            return std::nullopt;
    } catch (const std::bad_alloc&) {
        return std::nullopt; // no memory for the job or its queue: no name
    }
    std::unique_lock lock(pending->mutex);
    if (!pending->done.wait_for(lock, bound, [&] { return pending->finished; }))
        return std::nullopt;
    return std::move(pending->answer);
}

} // namespace tobrik::net
