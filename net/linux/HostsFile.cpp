// Reading /etc/hosts for IPv4 as glibc's files service reads it.

#include "linux/HostsFile.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <fstream>
#include <functional>
#include <netinet/in.h>
#include <sstream>
#include <strings.h>
#include <vector>

namespace tobrik::net::linux_net {

namespace {

// The IPv4 address (network byte order) that glibc reads for an IPv4
// look-up from a line's address: a dotted one, an IPv4-mapped IPv6 one
// (::ffff:a.b.c.d) as a.b.c.d, and ::1 as 127.0.0.1; nothing for the rest.
std::optional<std::uint32_t> ipv4Of(const std::string& text) {
    in_addr address{};
    if (inet_pton(AF_INET, text.c_str(), &address) == 1)
        return address.s_addr;
    in6_addr address6{};
    if (inet_pton(AF_INET6, text.c_str(), &address6) != 1)
        return std::nullopt;
    if (IN6_IS_ADDR_V4MAPPED(&address6)) {
        std::uint32_t mapped;
        // The IPv4 address is the last four of the sixteen bytes.
        std::memcpy(&mapped, address6.s6_addr + sizeof address6.s6_addr - sizeof mapped,
                    sizeof mapped);
        return mapped;
    }
    if (IN6_IS_ADDR_LOOPBACK(&address6))
        return htonl(INADDR_LOOPBACK);
    return std::nullopt;
}

// Calls visit with each IPv4 line's address and names, in file order, until
// it returns true. A NUL ends the line, as it ends glibc's C string;
// comments run from '#' to the line's end; lines of other IPv6 or of
// malformed addresses are skipped, as the resolver skips them for IPv4.
void forEachLine(std::istream& hosts,
                 const std::function<bool(std::uint32_t, const std::vector<std::string>&)>& visit) {
    std::string line;
    while (std::getline(hosts, line)) {
        if (const auto end = std::min(line.find('\0'), line.find('#')); end != std::string::npos)
            line.resize(end);
        std::istringstream fields(line);
        std::string text;
        if (!(fields >> text))
            continue;
        const auto address = ipv4Of(text);
        if (!address)
            continue;
        std::vector<std::string> names;
        while (fields >> text)
            names.push_back(text);
        if (!names.empty() && visit(*address, names))
            return;
    }
}

} // namespace

std::optional<std::uint32_t> HostsAddressOf(std::istream& hosts, const std::string& name) {
    std::optional<std::uint32_t> found;
    forEachLine(hosts, [&](std::uint32_t address, const std::vector<std::string>& names) {
        for (const auto& n : names)
            if (strcasecmp(n.c_str(), name.c_str()) == 0)
                found = address;
        return found.has_value();
    });
    return found;
}

std::optional<std::string> HostsNameOf(std::istream& hosts, std::uint32_t addr) {
    std::optional<std::string> found;
    forEachLine(hosts, [&](std::uint32_t address, const std::vector<std::string>& names) {
        if (address == addr)
            found = names.front();
        return found.has_value();
    });
    return found;
}

std::optional<std::uint32_t> HostsFileAddressOf(const std::string& name) {
    std::ifstream hosts("/etc/hosts");
    return hosts ? HostsAddressOf(hosts, name) : std::nullopt;
}

std::optional<std::string> HostsFileNameOf(std::uint32_t addr) {
    std::ifstream hosts("/etc/hosts");
    return hosts ? HostsNameOf(hosts, addr) : std::nullopt;
}

} // namespace tobrik::net::linux_net
