#pragma once
// Dotted IPv4 address text: exactly four runs of ASCII decimal digits, each
// 0..255, joined by ".". Leading zeros are decimal ("010" is 10), unlike the
// classic inet_addr, which reads them as octal and accepts short forms.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tobrik::net {

// The address in network byte order, or nothing when text is not an
// address. The limited broadcast 255.255.255.255 is refused as well, as the
// classic parser could not tell it from an error.
std::optional<std::uint32_t> ParseIPv4(std::string_view text);

// Four unsigned decimal octets without leading zeros, from network order.
std::string FormatIPv4(std::uint32_t networkOrder);

} // namespace tobrik::net
