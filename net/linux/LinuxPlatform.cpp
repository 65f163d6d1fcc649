// The Linux platform: there is no sockets library to start, the echo
// service is an ICMP socket, and names come from the system resolver.

#include "BoundedLookUp.h"
#include "NetPlatform.h"
#include "linux/HostsFile.h"
#include "linux/IcmpSocket.h"
#include "linux/LinuxEchoHandle.h"
#include "linux/LocalInterfaces.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace tobrik::net {

namespace {

class LinuxPlatform final : public NetPlatform {
  public:
    int startup(std::uint16_t) override { return 0; }
    int cleanup() override { return 0; }

    std::unique_ptr<EchoHandle> openEcho() override {
        auto& calls = linux_net::systemSocketCalls();
        auto socket = linux_net::OpenIcmpSocket(calls);
        std::lock_guard lock(mutex_);
        if (socket.fd < 0) {
            reason_ = socket.problem;
            return nullptr;
        }
        reason_.clear();
        return std::make_unique<linux_net::LinuxEchoHandle>(socket.fd, socket.kind, calls);
    }

    std::string echoUnavailableReason() const override {
        std::lock_guard lock(mutex_);
        return reason_;
    }

    std::optional<std::string> hostNameOf(std::uint32_t addr) override {
        // Windows names each of its own addresses after the computer without
        // asking a name server; a Linux resolver often knows no name for the
        // interface addresses, and may wait long on a name server that does
        // not answer. A name the hosts file gives comes first.
        if (isOwnAddress(addr)) {
            if (auto name = linux_net::HostsFileNameOf(addr))
                return name;
            return localHostName();
        }
        return BoundedLookUp([addr] { return resolverNameOf(addr); }, kReverseLookUpBound);
    }

    std::optional<std::string> localHostName() override {
        char name[HOST_NAME_MAX + 2];
        // A name cut to fit is no name: glibc reports ENAMETOOLONG, and the
        // final terminator check catches systems that truncate silently.
        if (gethostname(name, sizeof name) != 0)
            return std::nullopt;
        if (std::memchr(name, '\0', sizeof name - 1) == nullptr)
            return std::nullopt;
        return std::string(name);
    }

    std::optional<std::uint32_t> firstIPv4Of(const std::string& name) override {
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

  private:
    // The reverse look-up through the system resolver, which may wait on
    // name servers; run with a time limit.
    static std::optional<std::string> resolverNameOf(std::uint32_t addr) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = addr;
        // NI_MAXHOST covers every DNS name; a larger buffer is tried should a
        // hosts file hold a longer one.
        for (std::size_t size = NI_MAXHOST; size <= 65536; size *= 4) {
            std::vector<char> name(size);
            const int result = getnameinfo(
                reinterpret_cast<const sockaddr*>(&address), sizeof address, name.data(),
                static_cast<socklen_t>(name.size()), nullptr, 0, NI_NAMEREQD);
            if (result == 0)
                return std::string(name.data());
            if (result != EAI_OVERFLOW)
                break;
        }
        return std::nullopt;
    }

    // The machine's own name, answered as Windows answers it: from the
    // interfaces, never from a name server. An address the hosts file gives
    // the name comes first, as an administrator wrote it, unless it is a
    // loopback one (Debian and Ubuntu map the name to 127.0.1.1): that one
    // stands only when no interface has an address.
    static std::optional<std::uint32_t> ownAddress(const std::string& name) {
        const auto listed = linux_net::HostsFileAddressOf(name);
        if (listed && !linux_net::IsLoopbackAddress(*listed))
            return listed;
        if (const auto network = networkAddress())
            return network;
        return listed;
    }

    // The address Windows would list first for its own name; nothing when
    // the machine has no interface address besides loopback, or the
    // interfaces cannot be read.
    static std::optional<std::uint32_t> networkAddress() {
        const auto addresses = linux_net::ListInterfaceAddresses();
        if (!addresses)
            return std::nullopt;
        return linux_net::ChooseNetworkAddress(*addresses, linux_net::DefaultRouteInterface());
    }

    static bool isOwnAddress(std::uint32_t addr) {
        const auto addresses = linux_net::ListInterfaceAddresses();
        return addresses && std::any_of(addresses->begin(), addresses->end(),
                                        [addr](const auto& a) { return a.address == addr; });
    }

    mutable std::mutex mutex_;
    std::string reason_;
};

} // namespace

NetPlatform& nativePlatform() {
    static LinuxPlatform instance;
    return instance;
}

} // namespace tobrik::net
