// The Linux platform: the kept echo socket and the system resolver.

#include "linux/LinuxPlatform.h"

#include "BoundedLookUp.h"
#include "IpStatus.h"
#include "linux/Capabilities.h"
#include "linux/HostsFile.h"
#include "linux/LinuxEchoHandle.h"
#include "linux/LocalInterfaces.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tobrik::net::linux_net {

namespace {

// The address Windows would list first for its own name; nothing when the
// machine has no interface address besides loopback, or the interfaces
// cannot be read.
std::optional<std::uint32_t> networkAddress() {
    const auto addresses = ListInterfaceAddresses();
    if (!addresses)
        return std::nullopt;
    return ChooseNetworkAddress(*addresses, DefaultRouteInterface());
}

bool isOwnAddress(std::uint32_t addr) {
    const auto addresses = ListInterfaceAddresses();
    return addresses && std::any_of(addresses->begin(), addresses->end(),
                                    [addr](const auto& a) { return a.address == addr; });
}

// The machine's own name, answered as Windows answers it: from the
// interfaces, never from a name server. An address the hosts file gives
// the name comes first, as an administrator wrote it, unless it is a
// loopback one (Debian and Ubuntu map the name to 127.0.1.1): that one
// stands only when no interface has an address.
std::optional<std::uint32_t> ownAddress(const std::string& name) {
    const auto listed = HostsFileAddressOf(name);
    if (listed && !IsLoopbackAddress(*listed))
        return listed;
    if (const auto network = networkAddress())
        return network;
    return listed;
}

// The reverse look-up through the system resolver, which may wait on name
// servers; run with a time limit.
std::optional<std::string> resolverNameOf(std::uint32_t addr) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = addr;
    // NI_MAXHOST covers every DNS name; a larger buffer is tried should a
    // hosts file hold a longer one.
    for (std::size_t size = NI_MAXHOST; size <= 65536; size *= 4) {
        std::vector<char> name(size);
        const int result =
            getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, name.data(),
                        static_cast<socklen_t>(name.size()), nullptr, 0, NI_NAMEREQD);
        if (result == 0)
            return std::string(name.data());
        if (result != EAI_OVERFLOW)
            break;
    }
    return std::nullopt;
}

} // namespace

// A probe's handle: over the kept socket, or over a socket of its own.
// When the kept socket fails for good, the platform replaces it and the
// request is sent again over the new one, within what is left of its time.
class LinuxPlatform::Handle final : public EchoHandle {
  public:
    Handle(LinuxPlatform& platform, Socket socket, bool own)
        : platform_(platform), socket_(socket), own_(own) {}
    ~Handle() override {
        if (own_)
            platform_.calls_.closeSocket(socket_.fd);
        else
            platform_.release();
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    EchoOutcome sendEcho(std::uint32_t addr, const std::string& payload, std::uint8_t* replyArea,
                         std::size_t replySize, std::uint32_t timeoutMs) override {
        const auto start = std::chrono::steady_clock::now();
        LinuxEchoHandle echo(socket_.fd, socket_.kind, platform_.calls_);
        const EchoOutcome outcome = echo.sendEcho(addr, payload, replyArea, replySize, timeoutMs);
        if (echo.socketError() == 0 || own_)
            return outcome;
        socket_ = platform_.replaceKept(echo.socketError());
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - start)
                               .count();
        if (socket_.fd < 0 || spent >= timeoutMs)
            return outcome;
        return LinuxEchoHandle(socket_.fd, socket_.kind, platform_.calls_)
            .sendEcho(addr, payload, replyArea, replySize,
                      timeoutMs - static_cast<std::uint32_t>(spent));
    }

  private:
    LinuxPlatform& platform_;
    Socket socket_;
    bool own_;
};

LinuxPlatform::~LinuxPlatform() {
    if (kept_.fd >= 0)
        calls_.closeSocket(kept_.fd);
}

void LinuxPlatform::keepSocket(int fd, IcmpSocketKind kind) {
    PrepareEchoSocket(fd, kind, calls_);
    std::lock_guard lock(mutex_);
    if (kept_.fd >= 0)
        calls_.closeSocket(kept_.fd);
    kept_ = {fd, kind};
}

IcmpSocketKind LinuxPlatform::keptKind() const {
    std::lock_guard lock(mutex_);
    return kept_.kind;
}

LinuxPlatform::Socket LinuxPlatform::openSocket() {
    const IcmpSocket socket = OpenIcmpSocket(calls_);
    reason_ = socket.problem;
    if (socket.fd >= 0)
        PrepareEchoSocket(socket.fd, socket.kind, calls_);
    return {socket.fd, socket.kind};
}

std::unique_ptr<EchoHandle> LinuxPlatform::openEcho() {
    std::lock_guard lock(mutex_);
    if (lent_) {
        const Socket own = openSocket();
        if (own.fd < 0)
            return nullptr;
        return std::make_unique<Handle>(*this, own, true);
    }
    if (kept_.fd < 0)
        kept_ = openSocket();
    if (kept_.fd < 0)
        return nullptr;
    reason_.clear();
    lent_ = true;
    return std::make_unique<Handle>(*this, kept_, false);
}

LinuxPlatform::Socket LinuxPlatform::replaceKept(int error) {
    std::lock_guard lock(mutex_);
    // A descriptor that is closed, or that is no socket any more, was
    // closed behind the platform's back and may belong to another file now.
    if (error != EBADF && error != ENOTSOCK)
        calls_.closeSocket(kept_.fd);
    const char* was = IcmpSocketKindName(kept_.kind);
    kept_ = openSocket();
    notice_ = std::string("The ") + was + " ICMP socket of the probes failed (" +
              std::strerror(error) + "). ";
    notice_ += kept_.fd >= 0 ? std::string("The probes go on through a new ") +
                                   IcmpSocketKindName(kept_.kind) + " ICMP socket."
                             : "No other could be opened: " + reason_;
    return kept_;
}

void LinuxPlatform::release() {
    std::lock_guard lock(mutex_);
    lent_ = false;
}

std::string LinuxPlatform::echoUnavailableReason() const {
    std::lock_guard lock(mutex_);
    return reason_;
}

std::string LinuxPlatform::takeEchoNotice() {
    std::lock_guard lock(mutex_);
    return std::exchange(notice_, {});
}

std::optional<std::string> LinuxPlatform::hostNameOf(std::uint32_t addr) {
    // Windows names each of its own addresses after the computer without
    // asking a name server; a Linux resolver often knows no name for the
    // interface addresses, and may wait long on a name server that does not
    // answer. A name the hosts file gives comes first.
    if (isOwnAddress(addr)) {
        if (auto name = HostsFileNameOf(addr))
            return name;
        return localHostName();
    }
    return BoundedLookUp([addr] { return resolverNameOf(addr); }, kReverseLookUpBound);
}

std::optional<std::string> LinuxPlatform::localHostName() {
    char name[HOST_NAME_MAX + 2];
    // A name cut to fit is no name: glibc reports ENAMETOOLONG, and the
    // final terminator check catches systems that truncate silently.
    if (gethostname(name, sizeof name) != 0)
        return std::nullopt;
    if (std::memchr(name, '\0', sizeof name - 1) == nullptr)
        return std::nullopt;
    return std::string(name);
}

std::optional<std::uint32_t> LinuxPlatform::firstIPv4Of(const std::string& name) {
    if (name == localHostName())
        return ownAddress(name);
    // gethostbyname2_r keeps the order in which the hosts file or the
    // name server lists the addresses. getaddrinfo would sort them by the
    // RFC 6724 destination rules, so its first address can differ from
    // the first one listed.
    std::vector<char> buffer(2048);
    for (;;) {
        hostent entry{};
        hostent* found = nullptr;
        int error = 0;
        const int result = gethostbyname2_r(name.c_str(), AF_INET, &entry, buffer.data(),
                                            buffer.size(), &found, &error);
        if (result == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (result != 0 || found == nullptr || found->h_addrtype != AF_INET ||
            found->h_length != 4 || found->h_addr_list == nullptr ||
            found->h_addr_list[0] == nullptr)
            return std::nullopt;
        std::uint32_t address = 0;
        std::memcpy(&address, found->h_addr_list[0], sizeof address);
        return address;
    }
}

} // namespace tobrik::net::linux_net

namespace tobrik::net {

NetPlatform& nativePlatform() {
    static linux_net::LinuxPlatform instance(linux_net::systemSocketCalls());
    return instance;
}

bool DropPrivilegesKeepingEchoSocket() {
    auto& calls = linux_net::systemSocketCalls();
    if (linux_net::HoldsNetRaw()) {
        const int raw = calls.openSocket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (raw >= 0)
            static_cast<linux_net::LinuxPlatform&>(nativePlatform())
                .keepSocket(raw, linux_net::IcmpSocketKind::Raw);
    }
    const std::string problem = linux_net::ClearAllCapabilities();
    if (problem.empty())
        return true;
    std::fprintf(stderr,
                 "tobrik: cannot give up the capabilities of the process (%s); "
                 "it does not run with them.\n",
                 problem.c_str());
    return false;
}

} // namespace tobrik::net
