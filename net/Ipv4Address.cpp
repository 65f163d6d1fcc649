// Reading and writing dotted IPv4 address text.

#include "Ipv4Address.h"

#include <array>

namespace tobrik::net {

namespace {

// 255.255.255.255, in either byte order.
constexpr std::uint32_t kLimitedBroadcast = 0xFFFFFFFFu;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads one octet from the front of text; advances text past it.
std::optional<std::uint8_t> takeOctet(std::string_view& text) {
    std::size_t length = 0;
    unsigned value = 0;
    while (length < text.size() && isDigit(text[length])) {
        value = value * 10 + static_cast<unsigned>(text[length] - '0');
        if (value > 255)
            return std::nullopt;
        ++length;
    }
    if (length == 0)
        return std::nullopt;
    text.remove_prefix(length);
    return static_cast<std::uint8_t>(value);
}

} // namespace

std::optional<std::uint32_t> ParseIPv4(std::string_view text) {
    std::array<std::uint8_t, 4> octets{};
    for (std::size_t i = 0; i < octets.size(); ++i) {
        if (i > 0) {
            if (text.empty() || text.front() != '.')
                return std::nullopt;
            text.remove_prefix(1);
        }
        auto octet = takeOctet(text);
        if (!octet)
            return std::nullopt;
        octets[i] = *octet;
    }
    if (!text.empty())
        return std::nullopt;
    // Network byte order: the first octet is the first byte in memory.
    std::uint32_t address = 0;
    auto* bytes = reinterpret_cast<std::uint8_t*>(&address);
    for (std::size_t i = 0; i < octets.size(); ++i)
        bytes[i] = octets[i];
    if (address == kLimitedBroadcast)
        return std::nullopt;
    return address;
}

std::string FormatIPv4(std::uint32_t networkOrder) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&networkOrder);
    std::string text;
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            text += '.';
        text += std::to_string(bytes[i]);
    }
    return text;
}

} // namespace tobrik::net
