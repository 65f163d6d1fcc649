#include "linux/LocalInterfaces.h"
#include "Ipv4Address.h"
#include "linux/HostsFile.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace tobrik::net;
using linux_net::InterfaceAddress;

struct Entry {
    unsigned index;
    const char* address;
    bool up = true;
    bool loopback = false;
};

struct ChooseCase {
    const char* what;
    std::vector<Entry> entries;
    unsigned defaultRoute;
    std::optional<std::string> chosen;
};

class ChooseNetworkAddressTable : public testing::TestWithParam<ChooseCase> {};

TEST_P(ChooseNetworkAddressTable, TakesAddressesAsWindowsListsAdapters) {
    const auto& c = GetParam();
    std::vector<InterfaceAddress> addresses;
    for (const auto& e : c.entries)
        addresses.push_back({e.index, *ParseIPv4(e.address), e.up, e.loopback});
    const auto chosen = linux_net::ChooseNetworkAddress(addresses, c.defaultRoute);
    EXPECT_EQ(chosen ? std::optional(FormatIPv4(*chosen)) : std::nullopt, c.chosen) << c.what;
}

// Entries: {interface index, address, up, loopback-flagged}.
// clang-format off
const ChooseCase kChooseCases[] = {
    {"loopback alone", {{1, "127.0.0.1", true, true}}, 0, std::nullopt},
    {"default route first",
     {{1, "127.0.0.1", true, true}, {2, "10.0.0.5"}, {3, "192.168.1.5"}}, 3, "192.168.1.5"},
    {"lowest index without a default route",
     {{3, "192.168.1.5"}, {2, "10.0.0.5"}, {2, "10.0.0.6"}}, 0, "10.0.0.5"},
    {"default route's interface without address or down",
     {{2, "10.0.0.5"}, {3, "192.168.1.5", false}}, 3, "10.0.0.5"},
    {"down, loopback-flagged and 127/8 addresses do not count",
     {{2, "10.0.0.5", false}, {3, "10.9.0.1", true, true}, {4, "127.0.1.1"}}, 0, std::nullopt},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Interfaces, ChooseNetworkAddressTable, testing::ValuesIn(kChooseCases));

TEST(DefaultRouteInterfaceName, TakesTheUsableDefaultOfLowestMetric) {
    std::istringstream table(
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "eth0\t0002A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
        "*\t00000000\t00000000\t0201\t0\t0\t0\t00000000\t0\t0\t0\n"
        "wlan0\t00000000\t0102A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
        "eth0\t00000000\t0102A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
        "tun0\t00000000\t00000000\t0000\t0\t0\t0\t00000000\t0\t0\t0\n");
    EXPECT_EQ(linux_net::DefaultRouteInterfaceName(table), "eth0");
    std::istringstream none("Iface\tDestination\n"
                            "eth0\t0002A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n");
    EXPECT_EQ(linux_net::DefaultRouteInterfaceName(none), "");
}

// The hosts file as the resolver reads it for IPv4: the first line that
// lists a name, case aside; comments, other IPv6 and malformed lines
// skipped, IPv4-mapped and loopback IPv6 addresses read as IPv4, and a NUL
// ending the line.
TEST(HostsFile, ReadsTheFirstIPv4LineAsTheResolverDoes) {
    using namespace std::string_literals;
    const std::string text = "# 10.0.0.9 commented\n"
                             "127.0.0.1 localhost\n"
                             "fe80::1 desk ip6-desk\n"
                             "127.0.1.1\tDesk.example desk # Debian's line\n"
                             "10.0.0.5 other desk\n"
                             "10.0.0.300 bad\n"
                             "10.0.0.6 bad\n"
                             "10.0.0.7\n"
                             "::ffff:10.0.0.4 mapped\n"
                             "::1 loop6\n"
                             "10.0.0.3 cut\0hidden\n"s;
    const auto addressOf = [&](const std::string& name) {
        std::istringstream hosts(text);
        const auto address = linux_net::HostsAddressOf(hosts, name);
        return address ? FormatIPv4(*address) : std::string("none");
    };
    const auto nameOf = [&](const char* address) {
        std::istringstream hosts(text);
        return linux_net::HostsNameOf(hosts, *ParseIPv4(address)).value_or("none");
    };
    EXPECT_EQ(addressOf("desk"), "127.0.1.1");
    EXPECT_EQ(addressOf("DESK.example"), "127.0.1.1");
    EXPECT_EQ(addressOf("other"), "10.0.0.5");
    EXPECT_EQ(addressOf("bad"), "10.0.0.6");
    EXPECT_EQ(addressOf("commented"), "none");
    EXPECT_EQ(nameOf("10.0.0.5"), "other");
    EXPECT_EQ(nameOf("127.0.1.1"), "Desk.example");
    EXPECT_EQ(nameOf("10.0.0.9"), "none");
    EXPECT_EQ(nameOf("10.0.0.7"), "none");
    EXPECT_EQ(addressOf("mapped"), "10.0.0.4");
    EXPECT_EQ(nameOf("10.0.0.4"), "mapped");
    EXPECT_EQ(addressOf("loop6"), "127.0.0.1");
    EXPECT_EQ(addressOf("cut"), "10.0.0.3");
    EXPECT_EQ(addressOf("hidden"), "none");
}

} // namespace
