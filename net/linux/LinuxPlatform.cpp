// The Linux platform: the echo service, the machine's own names and the
// system resolver.

#include "linux/LinuxPlatform.h"

#include "BoundedLookUp.h"
#include "linux/HostsFile.h"
#include "linux/LocalInterfaces.h"

#include <algorithm>
#include <cerrno>
#include <climits>
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

// The largest name buffer the reverse look-up tries: 64 KiB, far beyond
// any name a hosts file line would hold.
constexpr std::size_t kLongestNameBuffer = 65536;

// The first buffer of an address look-up, room for a name with a few
// aliases and addresses; a larger list doubles it, up to 1 MiB.
constexpr std::size_t kHostEntryBuffer = 2048;
constexpr std::size_t kLargestHostEntryBuffer = std::size_t{1} << 20;

// The reverse look-up through the system resolver, which may wait on name
// servers; run with a time limit.
std::optional<std::string> resolverNameOf(std::uint32_t addr) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = addr;
    // NI_MAXHOST covers every DNS name; a larger buffer is tried should a
    // hosts file hold a longer one.
    for (std::size_t size = NI_MAXHOST; size <= kLongestNameBuffer; size *= 4) {
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

// A probe's handle: every request goes to the one echo service.
class LinuxPlatform::Handle final : public EchoHandle {
  public:
    explicit Handle(EchoService& service) : service_(service) {}
    std::int32_t sendEcho(std::uint32_t addr, const std::string& payload, std::uint8_t* replyArea,
                          std::size_t replySize, std::uint32_t timeoutMs) override {
        return service_.echo(addr, payload, replyArea, replySize, timeoutMs);
    }

  private:
    EchoService& service_;
};

LinuxPlatform::LinuxPlatform(SocketCalls& calls, std::string helperPath)
    : echo_(calls, std::move(helperPath)) {}

std::unique_ptr<EchoHandle> LinuxPlatform::openEcho() {
    if (!echo_.ready())
        return nullptr;
    return std::make_unique<Handle>(echo_);
}

std::string LinuxPlatform::takeEchoProblem() {
    return echo_.takeProblem();
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
    // One byte for the terminator and one more that tells a name cut to
    // fit from one that fits.
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
    std::vector<char> buffer(kHostEntryBuffer);
    for (;;) {
        hostent entry{};
        hostent* found = nullptr;
        int error = 0;
        const int result = gethostbyname2_r(name.c_str(), AF_INET, &entry, buffer.data(),
                                            buffer.size(), &found, &error);
        if (result == ERANGE && buffer.size() < kLargestHostEntryBuffer) {
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
    static linux_net::LinuxPlatform instance(linux_net::systemSocketCalls(),
                                             linux_net::EchoHelperPath());
    return instance;
}

} // namespace tobrik::net
