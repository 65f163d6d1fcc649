// The machine's own IPv4 addresses and its default route's interface, as
// Linux lists them.

#include "linux/LocalInterfaces.h"

#include <fstream>
#include <ifaddrs.h>
#include <limits>
#include <memory>
#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>
#include <sstream>

namespace tobrik::net::linux_net {

std::optional<std::vector<InterfaceAddress>> ListInterfaceAddresses() {
    ifaddrs* first = nullptr;
    if (getifaddrs(&first) != 0)
        return std::nullopt;
    // Freed however the function is left, an exception included.
    const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> list(first, &freeifaddrs);
    std::vector<InterfaceAddress> result;
    for (const ifaddrs* entry = list.get(); entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET ||
            entry->ifa_name == nullptr)
            continue;
        // An address with a label ("eth0:1") belongs to the interface named
        // before the colon.
        std::string name = entry->ifa_name;
        name = name.substr(0, name.find(':'));
        InterfaceAddress address;
        address.index = if_nametoindex(name.c_str());
        address.address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr;
        address.up = (entry->ifa_flags & IFF_UP) != 0;
        address.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        if (address.index != 0)
            result.push_back(address);
    }
    return result;
}

std::string DefaultRouteInterfaceName(std::istream& routeTable) {
    std::string line;
    std::getline(routeTable, line); // the column headings
    std::string best;
    unsigned long bestMetric = std::numeric_limits<unsigned long>::max();
    while (std::getline(routeTable, line)) {
        std::istringstream fields(line);
        std::string name;
        unsigned long destination = 0, gateway = 0, flags = 0, refCount = 0, use = 0, metric = 0,
                      mask = 0;
        fields >> name >> std::hex >> destination >> gateway >> flags >> std::dec >> refCount >>
            use >> metric >> std::hex >> mask;
        if (!fields || destination != 0 || mask != 0)
            continue;
        if ((flags & RTF_UP) == 0 || (flags & RTF_REJECT) != 0)
            continue;
        if (best.empty() || metric < bestMetric) {
            best = name;
            bestMetric = metric;
        }
    }
    return best;
}

unsigned DefaultRouteInterface() {
    // The file of the calling process's network namespace.
    std::ifstream routeTable("/proc/net/route");
    if (!routeTable)
        return 0;
    const std::string name = DefaultRouteInterfaceName(routeTable);
    return name.empty() ? 0 : if_nametoindex(name.c_str());
}

bool IsLoopbackAddress(std::uint32_t addr) {
    return (ntohl(addr) >> 24) == 127; // 127.0.0.0/8
}

std::optional<std::uint32_t> ChooseNetworkAddress(const std::vector<InterfaceAddress>& addresses,
                                                  unsigned defaultRouteIndex) {
    const auto usable = [](const InterfaceAddress& a) {
        return a.up && !a.loopback && a.address != 0 && !IsLoopbackAddress(a.address);
    };
    if (defaultRouteIndex != 0) {
        for (const auto& a : addresses)
            if (a.index == defaultRouteIndex && usable(a))
                return a.address;
    }
    const InterfaceAddress* first = nullptr;
    for (const auto& a : addresses)
        if (usable(a) && (first == nullptr || a.index < first->index))
            first = &a;
    if (first == nullptr)
        return std::nullopt;
    return first->address;
}

} // namespace tobrik::net::linux_net
