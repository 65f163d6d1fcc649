// The network procedures against the real system inside the lab of
// tests/lab/in_lab.sh; outside it the program fails. TOBRIK_EXPECT_SOCKET
// (datagram, helper or none) names the echo path the run must get;
// TOBRIK_EXPECT_LOCAL ("ADDRESS|NAME") the local address and its name. Each
// lab variant runs the suites that apply to it (--gtest_filter), so none
// skips; LabTiming bounds times and runs apart (CTest label "timing").

#include "EchoReplyRecord.h"
#include "IpStatus.h"
#include "Ipv4Address.h"
#include "ObservedPlatform.h"
#include "TimedProbe.h"
#include "UserTexts.h"
#include "linux/EchoHelperClient.h"
#include "linux/LinuxPlatform.h"
#include "mdlKorvantiser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using tobrik::mdlKorvantiser::EchoReplyRecord;
namespace IpStatus = tobrik::net::IpStatus;
namespace linux_net = tobrik::net::linux_net;

using tobrik::test::ping;
const std::string& kPayload = tobrik::test::kEchoPayload;

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string replyAddress(const EchoReplyRecord& record) {
    return tobrik::net::FormatIPv4(
        record.readField<std::uint32_t>(tobrik::net::kReplyAddressOffset));
}

// The raw sockets among this process's descriptors.
int rawSocketsHeld() {
    int raw = 0;
    for (const int fd : tobrik::test::OpenDescriptors()) {
        int type = 0;
        socklen_t length = sizeof type;
        raw += getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_RAW;
    }
    return raw;
}

// The echo helpers among the children of this process; with ended ones,
// also those that ended and were not yet waited for.
std::vector<pid_t> helperProcesses(bool withEnded = false) {
    std::vector<pid_t> helpers;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string pid, name, state, ppid;
        if (stat >> pid >> name >> state >> ppid && name == "(tobrik-echo)" &&
            ppid == std::to_string(getpid()) && (withEnded || state != "Z"))
            helpers.push_back(static_cast<pid_t>(std::stol(pid)));
    }
    return helpers;
}

// Which echo path this process gets: a ping socket where the kernel allows
// one, else the helper, else none. Whichever it is, the process holds no
// raw socket of its own after probing, and a helper runs only on its path.
TEST(LabEcho, GetsTheExpectedPathAndNoRawSocket) {
    const std::string expected = env("TOBRIK_EXPECT_SOCKET");
    ASSERT_FALSE(expected.empty()) << "TOBRIK_EXPECT_SOCKET not set";
    const int ping = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    EchoReplyRecord record;
    const bool answered = tobrik::mdlKorvantiser::PingHost("127.0.0.1", kPayload, record) == 0;
    EXPECT_EQ(ping >= 0 ? "datagram" : answered ? "helper" : "none", expected);
    if (ping >= 0)
        close(ping);
    EXPECT_EQ(rawSocketsHeld(), 0);
    EXPECT_EQ(helperProcesses(true).empty(), expected != "helper");
}

class LabPing : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(env("TOBRIK_EXPECT_SOCKET"), "none") << "this run has no ICMP socket";
    }
    // Every probe of the test was sent, and no part of the echo service failed.
    void TearDown() override { EXPECT_EQ(tobrik::mdlKorvantiser::EchoServiceProblem(), ""); }
    EchoReplyRecord record;
};
class LabTiming : public LabPing {};

TEST_F(LabPing, AnsweringHostsReplyWithOurData) {
    for (const char* address : {"127.0.0.1", "10.77.0.1", "127.0.0.77"}) {
        const auto probe = ping(address, record);
        EXPECT_EQ(probe.result, 0) << address;
        EXPECT_EQ(record.Status(), 0);
        EXPECT_EQ(replyAddress(record), address);
        const auto dataSize = record.readField<std::uint16_t>(tobrik::net::kReplyDataSizeOffset);
        ASSERT_EQ(dataSize, 9u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.area.data()) +
                                  tobrik::net::kEchoReplyHeaderSize,
                              dataSize),
                  kPayload);
    }
}

// Answers, silent hosts and rejections end well within their bounds; a
// rejection or a route that refuses well before the 500 ms time-out.
TEST_F(LabTiming, ProbesEndInTime) {
    for (const char* address : {"127.0.0.1", "10.77.0.1", "10.77.0.50"})
        EXPECT_LT(ping(address, record).elapsed, 2s) << address;
    for (const char* address : {"10.77.0.3", "10.77.1.5", "10.77.2.5"})
        EXPECT_LT(ping(address, record).elapsed, 400ms) << address;
}

TEST_F(LabPing, SilentHostsTimeOut) {
    for (const char* address : {"10.77.0.50", "10.77.0.4"}) {
        const auto probe = ping(address, record);
        EXPECT_EQ(probe.result, IpStatus::RequestTimedOut) << address;
        EXPECT_GE(probe.elapsed, 400ms) << address; // it waited
    }
}

TEST_F(LabTiming, OtherIcmpTrafficDoesNotExtendTheWait) {
    // Steady echo traffic of a second echo service of this process (its own
    // socket or helper, as a second thread gets) must not restart the
    // time-out.
    std::atomic<bool> stop{false};
    std::thread chatter([&] {
        linux_net::LinuxPlatform second(linux_net::systemSocketCalls(),
                                        linux_net::EchoHelperPath());
        EchoReplyRecord other;
        const auto address = *tobrik::net::ParseIPv4("127.0.0.2");
        while (!stop) {
            if (auto handle = second.openEcho())
                handle->sendEcho(address, kPayload, other.area.data(), other.area.size(), 500);
            std::this_thread::sleep_for(10ms);
        }
    });
    const auto probe = ping("10.77.0.50", record);
    stop = true;
    chatter.join();
    EXPECT_EQ(probe.result, IpStatus::RequestTimedOut);
    EXPECT_LT(probe.elapsed, 2s);
}

TEST_F(LabPing, RejectedHostAnswersAtOnce) {
    const auto probe = ping("10.77.0.3", record);
    EXPECT_EQ(probe.result, IpStatus::DestHostUnreachable);
    EXPECT_EQ(record.Status(), IpStatus::DestHostUnreachable);
    EXPECT_EQ(replyAddress(record), "10.77.0.3");

    // The next probe reports its own outcome, not the stored error.
    EXPECT_EQ(ping("10.77.0.1", record).result, 0);
}

TEST_F(LabPing, MulticastIsNotSent) {
    EXPECT_EQ(ping("224.0.0.1", record).result, -1);
    EXPECT_EQ(tobrik::mdlKorvantiser::EchoServiceProblem(), tobrik::text::kEchoGroupRefused);
}

// The helper killed mid-sweep: the next probes count as not sent, and the
// reason says that the helper ended.
TEST(LabHelper, KilledMidSweepFailsTheNextProbes) {
    ASSERT_EQ(env("TOBRIK_EXPECT_SOCKET"), "helper") << "this run does not use the helper";
    const auto before = helperProcesses();
    {
        linux_net::LinuxPlatform platform(linux_net::systemSocketCalls(),
                                          linux_net::EchoHelperPath());
        tobrik::net::ScopedPlatform guard(platform);
        EchoReplyRecord record;
        ASSERT_EQ(tobrik::mdlKorvantiser::PingHost("127.0.0.1", kPayload, record), 0);
        const auto running = helperProcesses();
        ASSERT_EQ(running.size(), before.size() + 1);
        for (const pid_t helper : running)
            if (std::find(before.begin(), before.end(), helper) == before.end()) {
                ASSERT_EQ(kill(helper, SIGKILL), 0);
            }
        EXPECT_EQ(tobrik::mdlKorvantiser::PingHost("10.77.0.50", kPayload, record), -1);
        EXPECT_NE(tobrik::mdlKorvantiser::EchoServiceProblem().find("予期せず終了しました"),
                  std::string::npos);
        EXPECT_EQ(tobrik::mdlKorvantiser::PingHost("127.0.0.1", kPayload, record), -1);
    }
    // The platform's end leaves no helper of its own, not even a zombie.
    EXPECT_EQ(helperProcesses(), before);
}

TEST(LabNoIcmp, PingFailsAndTheProblemNamesTheRemedies) {
    ASSERT_EQ(env("TOBRIK_EXPECT_SOCKET"), "none") << "this run has an ICMP socket";
    EchoReplyRecord record;
    EXPECT_EQ(tobrik::mdlKorvantiser::PingHost("127.0.0.1", kPayload, record), -1);
    EXPECT_EQ(rawSocketsHeld(), 0);
    const std::string problem = tobrik::mdlKorvantiser::EchoServiceProblem();
    std::printf("echo service problem: %s\n", problem.c_str());
    EXPECT_NE(problem.find("許可されていません"), std::string::npos) << problem;
    EXPECT_NE(problem.find("net.ipv4.ping_group_range"), std::string::npos) << problem;
    EXPECT_NE(problem.find("setcap cap_net_raw+p"), std::string::npos) << problem;
}

// However a probe ends, it leaves no descriptor open behind it but the one
// socket that every probe shares, and that socket is never inherited by a
// program started meanwhile (the viewer). The raw and datagram runs take
// every path with a socket, the run without ICMP the path without one.
// A route that refuses fails the send, with its reason.
TEST(LabDescriptors, ProbesShareOneSocket) {
    const bool withSocket = env("TOBRIK_EXPECT_SOCKET") != "none";
    struct Path {
        const char* what;
        const char* address;
        std::int32_t result;
    };
    const Path paths[] = {
        {"reply", "10.77.0.1", 0},
        {"time-out", "10.77.0.50", IpStatus::RequestTimedOut},
        {"ICMP error", "10.77.0.3", IpStatus::DestHostUnreachable},
        {"unreachable route", "10.77.1.5", IpStatus::DestHostUnreachable},
        {"prohibited route", "10.77.2.5", IpStatus::DestProhibited},
    };
    tobrik::test::ObservedPlatform observed;
    tobrik::net::ScopedPlatform guard(observed);
    EchoReplyRecord record;
    const auto before = tobrik::test::OpenDescriptors().size();
    for (const auto& path : paths) {
        const auto result = tobrik::mdlKorvantiser::PingHost(path.address, kPayload, record);
        EXPECT_EQ(tobrik::test::OpenDescriptors().size(), before + (withSocket ? 1 : 0))
            << path.what;
        EXPECT_EQ(result, withSocket ? path.result : -1) << path.what;
    }
    // One descriptor, whatever the path: the ping socket or the helper's channel.
    EXPECT_EQ(observed.closeOnExec, std::vector<bool>(1, true));
}

TEST(LabNames, ReverseLookUpGivesWholeNames) {
    EXPECT_EQ(tobrik::mdlKorvantiser::GetHostNameByIP("10.77.0.1"), "lab-host-abcde");
    EXPECT_EQ(tobrik::mdlKorvantiser::GetHostNameByIP("10.77.0.2"), "lab-host-abcdef");
    const std::string longName =
        "lab-host-with-a-very-long-name-that-needs-more-than-fifteen-bytes-0070";
    ASSERT_EQ(longName.size(), 70u);
    EXPECT_EQ(tobrik::mdlKorvantiser::GetHostNameByIP("10.77.0.20"), longName);
    EXPECT_EQ(tobrik::mdlKorvantiser::GetHostNameByIP("127.0.0.200"), "lo-200");
    EXPECT_EQ(tobrik::mdlKorvantiser::GetHostNameByIP("10.77.0.50"), "");
    EXPECT_EQ(tobrik::mdlKorvantiser::GetHostNameByIP("1.2.3.999"), "");
}

// The local address comes from the host name, and its name is the one the
// window shows and a sweep of it logs.
TEST(LabNames, LocalHost) {
    const std::string expected = env("TOBRIK_EXPECT_LOCAL");
    const auto bar = expected.find('|');
    ASSERT_NE(bar, std::string::npos) << "TOBRIK_EXPECT_LOCAL is not ADDRESS|NAME";
    const std::string address = tobrik::mdlKorvantiser::GetLocalIPAddress();
    EXPECT_EQ(address, expected.substr(0, bar));
    EXPECT_EQ(tobrik::mdlKorvantiser::GetHostNameByIP(address), expected.substr(bar + 1));
}

} // namespace

int main(int argc, char** argv) {
    if (env("TOBRIK_LAB") != "1") {
        std::fprintf(stderr, "lab_net_test: not inside the lab (run it through "
                             "tests/lab/in_lab.sh)\n");
        return 1;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
