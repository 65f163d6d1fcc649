#pragma once
// The hosts file read directly, without the resolver: the machine's own
// name and addresses are answered from it and from the interfaces, so
// that they never wait for a name server.

#include <cstdint>
#include <istream>
#include <optional>
#include <string>

namespace tobrik::net::linux_net {

// From hosts-file text: the IPv4 address (network byte order) of the first
// line that lists name, compared without regard to case, as the resolver
// compares it; nothing when no line does.
std::optional<std::uint32_t> HostsAddressOf(std::istream& hosts, const std::string& name);

// From hosts-file text: the first name of the first line for addr (network
// byte order); nothing when no line has it.
std::optional<std::string> HostsNameOf(std::istream& hosts, std::uint32_t addr);

// The same, read from /etc/hosts; nothing when it cannot be read.
std::optional<std::uint32_t> HostsFileAddressOf(const std::string& name);
std::optional<std::string> HostsFileNameOf(std::uint32_t addr);

} // namespace tobrik::net::linux_net
