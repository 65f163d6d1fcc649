#pragma once
// The Linux platform: there is no sockets library to start, the echo
// service is one ICMP socket kept for the process's life, and names come
// from the system resolver.

#include "NetPlatform.h"
#include "linux/IcmpSocket.h"
#include "linux/SocketCalls.h"

#include <mutex>
#include <string>

namespace tobrik::net::linux_net {

class LinuxPlatform final : public NetPlatform {
  public:
    // Every socket call goes through calls (the system's, or a test's).
    explicit LinuxPlatform(SocketCalls& calls) : calls_(calls) {}
    ~LinuxPlatform() override;
    LinuxPlatform(const LinuxPlatform&) = delete;
    LinuxPlatform& operator=(const LinuxPlatform&) = delete;

    // Takes fd, an ICMP socket of the given kind, as the socket of every
    // later probe (one opened while a privilege allowed it).
    void keepSocket(int fd, IcmpSocketKind kind);
    // The kind of the kept socket; None before one is kept.
    IcmpSocketKind keptKind() const;

    int startup(std::uint16_t) override { return 0; }
    int cleanup() override { return 0; }
    // A handle over the kept socket; without one, the socket opened now
    // is kept. While another handle holds it (a second thread), the handle
    // gets a socket of its own, closed with it.
    std::unique_ptr<EchoHandle> openEcho() override;
    std::string echoUnavailableReason() const override;
    std::string takeEchoNotice() override;
    std::optional<std::string> hostNameOf(std::uint32_t addr) override;
    std::optional<std::string> localHostName() override;
    std::optional<std::uint32_t> firstIPv4Of(const std::string& name) override;

  private:
    class Handle;
    struct Socket {
        int fd = -1;
        IcmpSocketKind kind = IcmpSocketKind::None;
    };
    Socket openSocket();           // mutex_ held; fd -1 when none could be opened
    Socket replaceKept(int error); // the kept socket failed with error
    void release();                // a handle gives the kept socket back

    SocketCalls& calls_;
    mutable std::mutex mutex_;
    Socket kept_;
    bool lent_ = false; // a handle holds the kept socket
    std::string reason_;
    std::string notice_;
};

} // namespace tobrik::net::linux_net
