#include "Ipv4Address.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using tobrik::net::FormatIPv4;
using tobrik::net::ParseIPv4;

struct ParseCase {
    std::string text;
    std::optional<std::string> formatted; // nothing: refused
};

class ParseIPv4Table : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseIPv4Table, ParsesOrRefuses) {
    const auto& c = GetParam();
    const auto address = ParseIPv4(c.text);
    if (!c.formatted) {
        EXPECT_FALSE(address.has_value()) << "accepted \"" << c.text << "\"";
        return;
    }
    ASSERT_TRUE(address.has_value()) << "refused \"" << c.text << "\"";
    EXPECT_EQ(FormatIPv4(*address), *c.formatted);
}

const std::string kLongDigits(400, '9');

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseIPv4Table,
    testing::Values(
        ParseCase{"1.2.3.4", "1.2.3.4"}, ParseCase{"0.0.0.0", "0.0.0.0"},
        ParseCase{"010.001.000.099", "10.1.0.99"}, ParseCase{"255.255.255.254", "255.255.255.254"},
        ParseCase{"127.0.0.1", "127.0.0.1"}, ParseCase{"1.2.3", std::nullopt},
        ParseCase{"1.2.3.4.5", std::nullopt}, ParseCase{"255.255.255.255", std::nullopt},
        ParseCase{"1.2.3.999", std::nullopt}, ParseCase{"1.2.3.256", std::nullopt},
        ParseCase{"", std::nullopt}, ParseCase{" 1.2.3.4", std::nullopt},
        ParseCase{"1.2.3.4 ", std::nullopt}, ParseCase{"1. 2.3.4", std::nullopt},
        ParseCase{"+1.2.3.4", std::nullopt}, ParseCase{"1.-2.3.4", std::nullopt},
        ParseCase{"1..3.4", std::nullopt}, ParseCase{".1.2.3", std::nullopt},
        ParseCase{"1.2.3.4.", std::nullopt}, ParseCase{"1.2.3.", std::nullopt},
        ParseCase{"0x1.2.3.4", std::nullopt}, ParseCase{"1,2,3,4", std::nullopt},
        ParseCase{"16909060", std::nullopt}, ParseCase{"1.2.3." + kLongDigits, std::nullopt},
        ParseCase{kLongDigits + ".1.1.1", std::nullopt},
        ParseCase{"4294967297.1.1.1", std::nullopt},
        ParseCase{std::string("1.2.3.4\0", 8), std::nullopt},
        ParseCase{"\xD9\xA1.2.3.4", std::nullopt}));

TEST(ParseIPv4, GivesNetworkByteOrder) {
    const auto address = ParseIPv4("10.0.0.1");
    ASSERT_TRUE(address);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&*address);
    EXPECT_EQ(bytes[0], 10);
    EXPECT_EQ(bytes[3], 1);
}

} // namespace
