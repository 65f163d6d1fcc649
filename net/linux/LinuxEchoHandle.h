#pragma once
// The echo service on Linux: one ICMP socket per handle.

#include "NetPlatform.h"
#include "linux/IcmpSocket.h"
#include "linux/SocketCalls.h"

namespace tobrik::net::linux_net {

class LinuxEchoHandle final : public EchoHandle {
  public:
    // Takes ownership of fd, an ICMP socket of the given kind, used through
    // calls. A raw socket is narrowed to the packets that can answer.
    LinuxEchoHandle(int fd, IcmpSocketKind kind, SocketCalls& calls);
    ~LinuxEchoHandle() override;
    LinuxEchoHandle(const LinuxEchoHandle&) = delete;
    LinuxEchoHandle& operator=(const LinuxEchoHandle&) = delete;

    EchoOutcome sendEcho(std::uint32_t addr, const std::string& payload, std::uint8_t* replyArea,
                         std::size_t replySize, std::uint32_t timeoutMs) override;

  private:
    int fd_;
    IcmpSocketKind kind_;
    SocketCalls& calls_;
};

} // namespace tobrik::net::linux_net
