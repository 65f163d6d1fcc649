#pragma once
// The window's echo service on Linux: a ping socket kept for the process's
// life wherever the kernel allows one; where it refuses, the echo helper,
// started once as the window opens (the first start of the sockets
// library) and kept as long. The
// window itself never holds a raw socket nor a capability.

#include "linux/EchoHelperClient.h"
#include "linux/OwnedSocket.h"
#include "linux/SocketCalls.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace tobrik::net::linux_net {

class EchoService {
  public:
    EchoService(SocketCalls& calls, std::string helperPath);

    // True when a request can be sent: the ping socket is open, or the
    // helper serves. Opens or starts what is missing.
    bool ready();
    // One echo request through the ping socket or the helper; -1 when it
    // could not be sent. Requests of several threads take turns.
    std::int32_t echo(std::uint32_t addr, const std::string& payload, std::uint8_t* area,
                      std::size_t size, std::uint32_t timeoutMs);
    // Why the last request could not be sent, or what failed and took
    // another path since the last call, in words for the user; "" when
    // nothing did. Handed out once.
    std::string takeProblem();

  private:
    bool readyLocked();
    std::int32_t throughHelper(std::uint32_t addr, const std::string& payload, std::uint8_t* area,
                               std::size_t size, std::uint32_t timeoutMs);
    void socketLost(int error);
    std::string unavailableReason() const;

    SocketCalls& calls_;
    std::string helperPath_;
    std::mutex mutex_;
    OwnedSocket ping_;
    int pingError_ = 0; // why the last ping socket was refused
    std::unique_ptr<EchoHelperClient> helper_;
    std::string problem_;
    bool replacing_ = false; // the ping socket failed and is being replaced
};

} // namespace tobrik::net::linux_net
