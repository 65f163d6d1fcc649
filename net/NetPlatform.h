#pragma once
// The one seam between the network procedures and the operating system.
// Every platform call of the network module goes through NetPlatform, so
// tests can install a replacement and inject failures.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tobrik::net {

// An open handle of the echo service. Destroying it closes the handle.
class EchoHandle {
  public:
    virtual ~EchoHandle() = default;
    // Sends one echo request carrying payload to addr (network byte order)
    // and waits at most timeoutMs for its answer. A reply or an ICMP error
    // for this request is written as a reply record at the start of
    // replyArea. Returns the request's IpStatus: 0 exactly for an echo
    // reply, the record's status where one was written, else why none was;
    // -1 when the request could not be sent at all.
    virtual std::int32_t sendEcho(std::uint32_t addr, const std::string& payload,
                                  std::uint8_t* replyArea, std::size_t replySize,
                                  std::uint32_t timeoutMs) = 0;
};

class NetPlatform {
  public:
    virtual ~NetPlatform() = default;

    // 0 when started or stopped; otherwise the sockets library's error.
    virtual int startup(std::uint16_t version) = 0;
    virtual int cleanup() = 0;

    // Opens the echo service; null when it cannot be opened.
    virtual std::unique_ptr<EchoHandle> openEcho() = 0;
    // Why the echo service could not be opened or a request not sent, or
    // what failed in it and took another path since the last call, in
    // words for the user; "" when nothing did. Each text is handed out
    // once.
    virtual std::string takeEchoProblem() = 0;

    // Reverse look-up of addr (network byte order) through the system
    // resolver: the host name in UTF-8, or nothing when none is found within
    // kReverseLookUpBound (BoundedLookUp.h). As on Windows, an address of
    // the machine's own interfaces is named without asking a name server:
    // by the hosts file, else after the machine.
    virtual std::optional<std::string> hostNameOf(std::uint32_t addr) = 0;
    // The local host name in UTF-8, or nothing on failure.
    virtual std::optional<std::string> localHostName() = 0;
    // The first IPv4 address (network byte order) that the resolver lists
    // for name, or nothing when the name is not found or has no address. As
    // on Windows, the machine's own name is answered without a name server:
    // it gives its network address, even where the hosts file maps that
    // name to a loopback address.
    virtual std::optional<std::uint32_t> firstIPv4Of(const std::string& name) = 0;
};

// The platform in use: the native one unless a test installed another.
NetPlatform& platform();

// Installs a replacement platform for the lifetime of the guard.
class ScopedPlatform {
  public:
    explicit ScopedPlatform(NetPlatform& replacement);
    ~ScopedPlatform();
    ScopedPlatform(const ScopedPlatform&) = delete;
    ScopedPlatform& operator=(const ScopedPlatform&) = delete;

  private:
    NetPlatform* previous_;
};

// The native platform of this build (Linux or Windows layer).
NetPlatform& nativePlatform();

} // namespace tobrik::net
