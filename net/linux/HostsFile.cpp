#include "linux/HostsFile.h"

#include <arpa/inet.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <strings.h>
#include <vector>

namespace tobrik::net::linux_net {

namespace {

// Calls visit with each IPv4 line's address and names, in file order, until
// it returns true. Comments run from '#' to the line's end; lines of IPv6
// or malformed addresses are skipped, as the resolver skips them for IPv4.
void forEachLine(std::istream& hosts,
                 const std::function<bool(std::uint32_t, const std::vector<std::string>&)>& visit) {
    std::string line;
    while (std::getline(hosts, line)) {
        std::istringstream fields(line.substr(0, line.find('#')));
        std::string text;
        in_addr address{};
        if (!(fields >> text) || inet_pton(AF_INET, text.c_str(), &address) != 1)
            continue;
        std::vector<std::string> names;
        while (fields >> text)
            names.push_back(text);
        if (!names.empty() && visit(address.s_addr, names))
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
