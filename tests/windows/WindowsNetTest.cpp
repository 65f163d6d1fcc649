// The network procedures on the Windows layer, against the real Windows
// Sockets and ICMP helper APIs (under wine on the build machine).
//
// Probes go to loopback; the cases that need other addresses need the
// namespace lab of tests/lab/in_lab.sh (TOBRIK_LAB=1) and fail outside it.

#include "EchoReplyRecord.h"
#include "IpStatus.h"
#include "Ipv4Address.h"
#include "NetPlatform.h"
#include "TimedProbe.h"
#include "mdlKorvantiser.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace {

using namespace std::chrono_literals;
using tobrik::mdlKorvantiser::EchoReplyRecord;
using namespace tobrik::net;

using tobrik::test::ping;
const std::string& kPayload = tobrik::test::kEchoPayload;

bool inLab() {
    const char* lab = std::getenv("TOBRIK_LAB");
    return lab != nullptr && std::string(lab) == "1";
}

#define REQUIRE_LAB()                                                                              \
    ASSERT_TRUE(inLab()) << "needs the namespace lab (run under tests/lab/in_lab.sh)"

TEST(WindowsSockets, StartAndStopPairUp) {
    ASSERT_TRUE(tobrik::mdlKorvantiser::SocketsInitialize());
    EXPECT_EQ(nativePlatform().cleanup(), 0);
    // Windows Sockets counts its starts: one stop more than starts fails.
    EXPECT_NE(nativePlatform().cleanup(), 0);
}

TEST(WindowsEcho, ServiceOpens) {
    EXPECT_NE(nativePlatform().openEcho(), nullptr);
    EXPECT_EQ(tobrik::mdlKorvantiser::EchoServiceProblem(), "");
}

TEST(WindowsEcho, LoopbackAnswersIntoTheReplyArea) {
    alignas(8) EchoReplyRecord record;
    record.setStatus(-7);
    const auto probe = ping("127.0.0.1", record);
    ASSERT_EQ(probe.result, 0);
    EXPECT_EQ(record.Status(), 0);
    EXPECT_EQ(FormatIPv4(record.readField<std::uint32_t>(kReplyAddressOffset)), "127.0.0.1");
    EXPECT_EQ(record.readField<std::uint16_t>(kReplyDataSizeOffset), kPayload.size());
    // The 64-bit record keeps a pointer to the echoed data, inside the area.
    const auto data = record.readField<std::uintptr_t>(16);
    const auto begin = reinterpret_cast<std::uintptr_t>(record.area.data());
    ASSERT_GE(data, begin);
    ASSERT_LE(data + kPayload.size(), begin + record.area.size());
    EXPECT_EQ(std::memcmp(reinterpret_cast<const void*>(data), kPayload.data(), kPayload.size()),
              0);
    EXPECT_LT(probe.elapsed, 2s);
}

TEST(WindowsEcho, UnalignedReplyAreaStillGetsTheRecord) {
    struct {
        char pad;
        EchoReplyRecord record;
    } packed;
    packed.record.setStatus(-7);
    ASSERT_EQ(ping("127.0.0.1", packed.record).result, 0);
    EXPECT_EQ(packed.record.Status(), 0);
    EXPECT_EQ(FormatIPv4(packed.record.readField<std::uint32_t>(kReplyAddressOffset)), "127.0.0.1");
}

// A silent host after an earlier reply in the same record, which still
// holds the reply's status 0, and a host whose requests are dropped.
TEST(WindowsEcho, SilentHostsTimeOut) {
    REQUIRE_LAB();
    EchoReplyRecord record;
    ASSERT_EQ(ping("127.0.0.1", record).result, 0);
    for (const char* address : {"10.77.0.50", "10.77.0.4"}) {
        const auto probe = ping(address, record);
        EXPECT_EQ(probe.result, IpStatus::RequestTimedOut) << address;
        EXPECT_GT(probe.elapsed, 300ms) << address;
        EXPECT_LT(probe.elapsed, 3s) << address;
    }
}

TEST(WindowsEcho, AnsweringLabHostReplies) {
    REQUIRE_LAB();
    EchoReplyRecord record;
    EXPECT_EQ(ping("10.77.0.1", record).result, 0);
    EXPECT_EQ(FormatIPv4(record.readField<std::uint32_t>(kReplyAddressOffset)), "10.77.0.1");
}

TEST(WindowsNames, LoopbackHasAName) {
    const std::string name = tobrik::mdlKorvantiser::GetHostNameByIP("127.0.0.1");
    EXPECT_FALSE(name.empty());
    if (inLab()) {
        EXPECT_EQ(name, "localhost");
    }
}

TEST(WindowsNames, LabHostsFileNames) {
    REQUIRE_LAB();
    EXPECT_EQ(tobrik::mdlKorvantiser::GetHostNameByIP("10.77.0.1"), "lab-host-abcde");
    EXPECT_EQ(tobrik::mdlKorvantiser::GetHostNameByIP("10.77.0.2"), "lab-host-abcdef");
    EXPECT_EQ(tobrik::mdlKorvantiser::GetHostNameByIP("10.77.0.50"), "");
}

// The lab runs under the host name "tobrik-ten", which its hosts file maps
// to 10.0.0.1. Windows answers a look-up of the local host's own name with
// the addresses of its interfaces instead, whatever the hosts file says.
TEST(WindowsNames, LocalAddressIsAnInterfaceAddress) {
    REQUIRE_LAB();
    const std::string address = tobrik::mdlKorvantiser::GetLocalIPAddress();
    const std::set<std::string> labAddresses{"10.77.0.1", "10.77.0.2",  "10.77.0.3",
                                             "10.77.0.4", "10.77.0.20", "10.0.0.1"};
    EXPECT_TRUE(labAddresses.count(address)) << address;
}

TEST(WindowsNames, FirstAddressOfAHostsFileName) {
    REQUIRE_LAB();
    ASSERT_EQ(nativePlatform().startup(tobrik::mdlKorvantiser::kSocketsVersion), 0);
    const auto second = nativePlatform().firstIPv4Of("lab-host-abcdef");
    const auto localName = nativePlatform().localHostName();
    const auto missing = nativePlatform().firstIPv4Of("no-such-lab-host");
    nativePlatform().cleanup();
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(FormatIPv4(*second), "10.77.0.2");
    EXPECT_EQ(localName, "tobrik-ten");
    EXPECT_FALSE(missing.has_value());
}

} // namespace
