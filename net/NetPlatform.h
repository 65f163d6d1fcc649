#pragma once
// The one seam between the network procedures and the operating system.
// Every platform call of the network module goes through NetPlatform, so
// tests can install a replacement and inject failures.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tobrik::net {

// What one echo request ended with, as the echo service reports it.
struct EchoOutcome {
    std::uint32_t replies = 0;  // number of reply records written into the reply area
    std::int32_t lastError = 0; // when replies is 0: why (an IpStatus code)
};

// An open handle of the echo service. Destroying it closes the handle.
class EchoHandle {
  public:
    virtual ~EchoHandle() = default;
    // Sends one echo request carrying payload to addr (network byte order)
    // and waits at most timeoutMs for its answer. A reply or an ICMP error
    // for this request is written as a reply record at the start of
    // replyArea; its status is 0 exactly for an echo reply.
    virtual EchoOutcome sendEcho(std::uint32_t addr, const std::string& payload,
                                 std::uint8_t* replyArea, std::size_t replySize,
                                 std::uint32_t timeoutMs) = 0;
};

class NetPlatform {
  public:
    virtual ~NetPlatform() = default;

    // Starts the sockets library at the given version; 0 when it started.
    virtual int startup(std::uint16_t version) = 0;
    // Stops the sockets library; 0 when it stopped.
    virtual int cleanup() = 0;

    // Opens the echo service; null when it cannot be opened. Then
    // echoUnavailableReason() explains why, in words for the user.
    virtual std::unique_ptr<EchoHandle> openEcho() = 0;
    virtual std::string echoUnavailableReason() const = 0;
    // What changed in the echo service since the last call, in words for
    // the user (the socket of the probes failed and another took its
    // place); "" when nothing did.
    virtual std::string takeEchoNotice() { return {}; }

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

// The native platform of this build (Linux or Win32 layer).
NetPlatform& nativePlatform();

// The program's first step, before anything reads its environment or its
// arguments. Where the process holds a privilege that the echo service
// needs (CAP_NET_RAW on Linux), opens the one socket that needs it for the
// native platform to keep; then gives up every privilege. False, after a
// line on standard error, when one could not be given up: the program must
// end then. Windows needs no privilege: nothing to do there.
bool DropPrivilegesKeepingEchoSocket();

} // namespace tobrik::net
