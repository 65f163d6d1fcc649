#pragma once
// The echo service on Linux: requests over an ICMP socket that outlives
// the handle.

#include "NetPlatform.h"
#include "linux/IcmpSocket.h"
#include "linux/SocketCalls.h"

namespace tobrik::net::linux_net {

// Readies a socket for the handles that will use it: a raw socket is
// narrowed to the packets that can answer a request of this process.
void PrepareEchoSocket(int fd, IcmpSocketKind kind, SocketCalls& calls);

class LinuxEchoHandle final : public EchoHandle {
  public:
    // Sends over fd, a prepared ICMP socket of the given kind, through
    // calls; the handle never closes it.
    LinuxEchoHandle(int fd, IcmpSocketKind kind, SocketCalls& calls);

    // Whatever waits on the socket (late answers to earlier requests, other
    // programs' echo traffic, ICMP errors) is discarded before the request
    // goes out, so that only this request's answer can end the wait.
    EchoOutcome sendEcho(std::uint32_t addr, const std::string& payload, std::uint8_t* replyArea,
                         std::size_t replySize, std::uint32_t timeoutMs) override;

    // The error with which the socket itself failed during the last
    // request, so that no later one can use it; 0 when it did not (a
    // time-out, an ICMP error or a refused destination leave it usable).
    int socketError() const { return socketError_; }

  private:
    EchoOutcome failedSocket(int error);

    int fd_;
    IcmpSocketKind kind_;
    SocketCalls& calls_;
    int socketError_ = 0;
};

} // namespace tobrik::net::linux_net
