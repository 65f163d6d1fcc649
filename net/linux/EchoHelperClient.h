#pragma once
// The window's side of the echo helper (tobrik-echo), the small program
// that holds the raw ICMP socket where the kernel refuses the window a ping
// socket: starts it, and asks it for one echo request at a time over a
// SOCK_SEQPACKET socket pair. The window never waits on it longer than the
// request's time-out plus kHelperMargin; a helper that fails once is ended
// and serves no more.

#include "UserTexts.h"
#include "linux/OwnedSocket.h"
#include "linux/SocketCalls.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

namespace tobrik::net::linux_net {

struct HelperAnswer;

// Room for the helper's start and the scheduling of two processes.
inline constexpr std::chrono::milliseconds kHelperMargin{250};
// How long the window looks for the helper's answer before it sleeps.
inline constexpr std::chrono::microseconds kClientAwakeWait{100};

class EchoHelperClient {
  public:
    // Starts the helper at path; serving() tells whether that worked.
    EchoHelperClient(std::string path, SocketCalls& calls);
    // Closes the channel and ends the helper.
    ~EchoHelperClient();
    EchoHelperClient(const EchoHelperClient&) = delete;
    EchoHelperClient& operator=(const EchoHelperClient&) = delete;

    // The request's status through the helper, its reply record written
    // into area when one came; -1 when it could not be sent.
    std::int32_t echo(std::uint32_t addr, std::uint8_t* area, std::size_t size,
                      std::uint32_t timeoutMs);

    bool serving() const { return !failed_; }
    // Why the helper does not serve, in words for the user.
    const std::string& problem() const { return problem_; }
    // True when it failed for want of a permission that setcap can give.
    bool denied() const { return denied_; }
    const std::string& path() const { return path_; }

  private:
    using Clock = std::chrono::steady_clock;
    bool awaitGreeting(Clock::time_point deadline);
    bool request(std::uint32_t addr, std::uint32_t timeoutMs);
    std::optional<HelperAnswer> receive(Clock::time_point deadline);
    // Ends the helper for good; error is the errno that says why, or 0.
    void fail(text::EchoHelperFault fault, int error = 0, bool denied = false);

    std::string path_;
    SocketCalls& calls_;
    OwnedSocket channel_;
    pid_t pid_ = -1;
    bool greeted_ = false;
    bool failed_ = false;
    bool denied_ = false;
    std::uint32_t serial_ = 0;
    std::string problem_;
};

// Where the helper lives: the folder the build installs it to, or, for a
// program run from its build or a folder of its own, beside the program.
std::string EchoHelperPath();

} // namespace tobrik::net::linux_net
