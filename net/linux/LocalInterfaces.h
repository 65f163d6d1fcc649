#pragma once
// The machine's own IPv4 interface addresses and the interface of its IPv4
// default route, read from the kernel; nothing is sent. Used to find the
// address the machine has on its network when its name resolves to a
// loopback address, and to recognise its own addresses.

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace tobrik::net::linux_net {

struct InterfaceAddress {
    unsigned index = 0;        // interface index
    std::uint32_t address = 0; // network byte order
    bool up = false;           // the interface is administratively up
    bool loopback = false;     // the interface is a loopback interface
};

// Every IPv4 address of every interface, in the order the kernel lists
// them; nothing when the query fails.
std::optional<std::vector<InterfaceAddress>> ListInterfaceAddresses();

// The index of the interface that carries the IPv4 default route, or 0 when
// there is none or the routing table cannot be read.
unsigned DefaultRouteInterface();

// From the text of /proc/net/route: the interface name of the usable
// default route with the lowest metric (the first of equals), or "" when
// there is none.
std::string DefaultRouteInterfaceName(std::istream& routeTable);

// True for 127.0.0.0/8 (addr in network byte order).
bool IsLoopbackAddress(std::uint32_t addr);

// The address the machine has on its network, in the order in which
// Windows lists its adapters: the first address of the default route's
// interface, else the first address of the interface with the lowest index.
// Only interfaces that are up and not loopback count, and no address in
// 127.0.0.0/8. Nothing when no interface qualifies.
std::optional<std::uint32_t> ChooseNetworkAddress(const std::vector<InterfaceAddress>& addresses,
                                                  unsigned defaultRouteIndex);

} // namespace tobrik::net::linux_net
