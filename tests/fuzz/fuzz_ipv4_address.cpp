// The dotted-address parser on arbitrary bytes. An accepted text is four
// runs of ASCII digits joined by "." whose values are 0..255, and it
// round-trips: formatting the address and parsing that again gives the same
// address, and the formatted text is the input without leading zeros.
// Formatting any four bytes gives a text the parser accepts (except the
// limited broadcast, which it refuses).

#include "FuzzCheck.h"
#include "Ipv4Address.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <regex>
#include <string>
#include <string_view>

using namespace tobrik::net;

namespace {

// An accepted text without the leading zeros of its octets.
std::string withoutLeadingZeros(std::string_view text) {
    static const std::regex zeros("(^|\\.)0+([0-9])");
    return std::regex_replace(std::string(text), zeros, "$1$2");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto parsed = ParseIPv4(text);
    if (parsed) {
        int dots = 0;
        for (char c : text) {
            FUZZ_CHECK(c == '.' || (c >= '0' && c <= '9'));
            dots += c == '.';
        }
        FUZZ_CHECK(dots == 3);
        FUZZ_CHECK(*parsed != 0xFFFFFFFFu);
        const std::string formatted = FormatIPv4(*parsed);
        FUZZ_CHECK(formatted == withoutLeadingZeros(text));
        const auto again = ParseIPv4(formatted);
        FUZZ_CHECK(again && *again == *parsed);
    }
    if (size >= 4) {
        std::uint32_t address;
        std::memcpy(&address, data, sizeof address);
        const std::string formatted = FormatIPv4(address);
        FUZZ_CHECK(formatted.size() >= 7 && formatted.size() <= 15);
        const auto back = ParseIPv4(formatted);
        if (address == 0xFFFFFFFFu)
            FUZZ_CHECK(!back);
        else
            FUZZ_CHECK(back && *back == address);
    }
    return 0;
}
