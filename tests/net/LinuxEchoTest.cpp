// The Linux echo service over scripted socket calls: the failures that a
// real socket gives rarely or never on demand. No probe closes the socket.

#include "IcmpPacket.h"
#include "IpStatus.h"
#include "linux/IcmpSocket.h"
#include "linux/LinuxEchoHandle.h"
#include "linux/LinuxPlatform.h"
#include "mdlKorvantiser.h"

#include <gtest/gtest.h>
#include <linux/icmp.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace tobrik::net;
using namespace tobrik::net::linux_net;

constexpr int kDatagramFd = 101;
constexpr int kRawFd = 102;

// Fake descriptors; each call fails with the errno scripted for it, in call
// order, and succeeds once its script is used up (0 in a script: succeed).
class ScriptedCalls : public SocketCalls {
  public:
    IcmpSocketKind kind = IcmpSocketKind::Datagram; // form of the replies
    int brokenFd = -1; // poll reports this descriptor invalid (closed under us)
    std::vector<int> closedFds;
    int datagramError = 0, rawError = 0, recvErrError = 0;
    std::vector<int> sendErrors, receiveErrors;
    int queueError = EAGAIN; // the error queue: empty unless scripted
    short pollEvents = POLLIN;
    std::uint32_t passedTypes = 0; // by the raw socket's ICMP type filter

    int opened = 0, closed = 0, sends = 0, receives = 0, queueReads = 0, waits = 0;

    int openSocket(int, int type, int) override {
        const bool raw = (type & SOCK_RAW) == SOCK_RAW;
        if (const int error = raw ? rawError : datagramError) {
            errno = error;
            return -1;
        }
        ++opened;
        return raw ? kRawFd : kDatagramFd;
    }
    int setOption(int, int level, int name, const void* value, socklen_t) override {
        if (level == SOL_RAW && name == ICMP_FILTER)
            passedTypes = ~static_cast<const icmp_filter*>(value)->data;
        // The raw socket's filters are refused too, so that no read is
        // spent on discarding what came before them.
        const int error = name == IP_RECVERR ? recvErrError : ENOPROTOOPT;
        errno = error;
        return error ? -1 : 0;
    }
    int getOption(int, int, int, void* value, socklen_t* length) override {
        std::memset(value, 0, *length);
        return 0;
    }
    ssize_t sendTo(int fd, const void* data, size_t length, int, const sockaddr*,
                   socklen_t) override {
        if (next(sendErrors, sends))
            return -1;
        kind = fd == kRawFd ? IcmpSocketKind::Raw : IcmpSocketKind::Datagram;
        request.assign(static_cast<const std::uint8_t*>(data),
                       static_cast<const std::uint8_t*>(data) + length);
        pending = true;
        return static_cast<ssize_t>(length);
    }
    int waitFor(pollfd* entries, nfds_t, int) override {
        ++waits;
        entries[0].revents = entries[0].fd == brokenFd ? POLLNVAL : pollEvents;
        return 1;
    }
    ssize_t receiveFrom(int, void* buffer, size_t length, int, sockaddr*, socklen_t*) override {
        if (!pending)
            return nothingQueued();
        if (next(receiveErrors, receives))
            return -1;
        pending = false;
        const auto packet = reply();
        const std::size_t size = std::min(length, packet.size());
        std::memcpy(buffer, packet.data(), size);
        return static_cast<ssize_t>(size);
    }
    ssize_t receiveMessage(int, msghdr*, int) override {
        if (!pending)
            return nothingQueued();
        ++queueReads;
        errno = queueError;
        return -1;
    }
    int closeSocket(int fd) override {
        closedFds.push_back(fd);
        ++closed;
        return 0;
    }

  private:
    // Before a request is out, its socket holds nothing: the reads that
    // empty it find nothing to discard.
    static ssize_t nothingQueued() {
        errno = EAGAIN;
        return -1;
    }
    // True (errno set) when call number count is scripted to fail.
    static bool next(const std::vector<int>& script, int& count) {
        const auto index = static_cast<std::size_t>(count++);
        if (index >= script.size() || script[index] == 0)
            return false;
        errno = script[index];
        return true;
    }
    // The echo reply to the request sent, as the socket kind hands it over.
    std::vector<std::uint8_t> reply() const {
        std::vector<std::uint8_t> icmp = request;
        icmp[0] = 0;
        icmp[2] = icmp[3] = 0;
        const std::uint16_t sum = InternetChecksum(icmp.data(), icmp.size());
        icmp[2] = static_cast<std::uint8_t>(sum >> 8);
        icmp[3] = static_cast<std::uint8_t>(sum);
        if (kind == IcmpSocketKind::Datagram)
            return icmp;
        std::vector<std::uint8_t> packet(20, 0);
        packet[0] = 0x45;
        packet[8] = 64;
        packet[9] = IPPROTO_ICMP;
        packet.insert(packet.end(), icmp.begin(), icmp.end());
        return packet;
    }
    std::vector<std::uint8_t> request;
    bool pending = false; // a request is out and its answer not yet read
};

struct EchoCase {
    const char* name;
    IcmpSocketKind kind;
    std::vector<int> sendErrors, receiveErrors;
    short pollEvents;
    int queueError;
    std::int32_t status; // the reply's status, or lastError without one
    int sends, receives, queueReads;
};

void PrintTo(const EchoCase& c, std::ostream* out) {
    *out << c.name;
}

class LinuxEchoPath : public testing::TestWithParam<EchoCase> {};

TEST_P(LinuxEchoPath, EndsAsScripted) {
    const EchoCase& c = GetParam();
    ScriptedCalls calls;
    calls.kind = c.kind;
    calls.sendErrors = c.sendErrors;
    calls.receiveErrors = c.receiveErrors;
    calls.pollEvents = c.pollEvents;
    calls.queueError = c.queueError;
    std::array<std::uint8_t, 278> area{};
    const int fd = c.kind == IcmpSocketKind::Raw ? kRawFd : kDatagramFd;
    PrepareEchoSocket(fd, c.kind, calls);
    EchoOutcome outcome;
    {
        LinuxEchoHandle handle(fd, c.kind, calls);
        outcome = handle.sendEcho(0x0100007F, "Korvantis", area.data(), area.size(), 300);
    }
    if (c.status == 0) {
        EXPECT_EQ(outcome.replies, 1u);
        std::int32_t status = -1;
        std::memcpy(&status, area.data() + 4, sizeof status);
        EXPECT_EQ(status, 0);
    } else {
        EXPECT_EQ(outcome.replies, 0u);
        EXPECT_EQ(outcome.lastError, c.status);
    }
    EXPECT_EQ(calls.sends, c.sends);
    EXPECT_EQ(calls.receives, c.receives);
    EXPECT_EQ(calls.queueReads, c.queueReads);
    EXPECT_EQ(calls.closed, 0);
    // A raw socket passes echo reply, destination unreachable, source
    // quench, time exceeded and parameter problem: what can answer, and no
    // redirect.
    EXPECT_EQ(calls.passedTypes, c.kind == IcmpSocketKind::Raw ? 0x1819u : 0u);
}

constexpr auto kDatagram = IcmpSocketKind::Datagram;
constexpr auto kRaw = IcmpSocketKind::Raw;

INSTANTIATE_TEST_SUITE_P(
    Faults, LinuxEchoPath,
    testing::Values(EchoCase{"send_interrupted_by_a_signal_is_sent_again",
                             kDatagram,
                             {EINTR, EINTR},
                             {},
                             POLLIN,
                             EAGAIN,
                             0,
                             3,
                             1,
                             0},
                    EchoCase{"send_that_fails_says_why",
                             kRaw,
                             {EHOSTUNREACH},
                             {},
                             POLLIN,
                             EAGAIN,
                             IpStatus::DestHostUnreachable,
                             1,
                             0,
                             0},
                    EchoCase{"read_with_nothing_there_waits_on",
                             kRaw,
                             {},
                             {EAGAIN, EINTR},
                             POLLIN,
                             EAGAIN,
                             0,
                             1,
                             3,
                             0},
                    EchoCase{"failing_read_on_a_raw_socket_ends_the_wait",
                             kRaw,
                             {},
                             {ENOMEM},
                             POLLIN,
                             EAGAIN,
                             IpStatus::GeneralFailure,
                             1,
                             1,
                             0},
                    // A datagram socket first looks for an ICMP error behind the failure.
                    EchoCase{"failing_read_on_a_datagram_socket_ends_the_wait",
                             kDatagram,
                             {},
                             {EBADF},
                             POLLIN,
                             EAGAIN,
                             IpStatus::GeneralFailure,
                             1,
                             1,
                             1},
                    EchoCase{"failing_error_queue_ends_the_wait",
                             kDatagram,
                             {},
                             {},
                             POLLERR,
                             ENOMEM,
                             IpStatus::GeneralFailure,
                             1,
                             0,
                             1},
                    EchoCase{"descriptor_that_poll_refuses_ends_the_wait",
                             kDatagram,
                             {},
                             {},
                             POLLNVAL,
                             EAGAIN,
                             IpStatus::GeneralFailure,
                             1,
                             0,
                             0}),
    [](const testing::TestParamInfo<EchoCase>& info) { return std::string(info.param.name); });

// Which socket is opened when some are refused, how many are closed again,
// and which remedies the reason names when none can be had.
TEST(OpenIcmpSocket, FallsBackAndNamesOnlyTheRemediesThatApply) {
    struct Case {
        const char* name;
        int datagramError, recvErrError, rawError;
        IcmpSocketKind kind;
        int fd, closed;
        bool groupAdvice, capabilityAdvice;
    };
    const Case cases[] = {
        {"no error reports: raw instead", 0, ENOPROTOOPT, 0, kRaw, kRawFd, 1, false, false},
        {"no error reports and no raw: datagram all the same", 0, ENOPROTOOPT, EPERM, kDatagram,
         kDatagramFd, 0, false, false},
        {"both refused for permission", EACCES, 0, EPERM, IcmpSocketKind::None, -1, 0, true, true},
        {"no ping sockets in the kernel", EAFNOSUPPORT, 0, EPERM, IcmpSocketKind::None, -1, 0,
         false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedCalls calls;
        calls.datagramError = c.datagramError;
        calls.recvErrError = c.recvErrError;
        calls.rawError = c.rawError;
        const IcmpSocket socket = OpenIcmpSocket(calls);
        EXPECT_EQ(socket.kind, c.kind);
        EXPECT_EQ(socket.fd, c.fd);
        EXPECT_EQ(calls.closed, c.closed);
        EXPECT_EQ(socket.problem.empty(), c.kind != IcmpSocketKind::None) << socket.problem;
        EXPECT_EQ(socket.problem.find("sysctl -w net.ipv4.ping_group_range") != std::string::npos,
                  c.groupAdvice)
            << socket.problem;
        EXPECT_EQ(socket.problem.find("setcap cap_net_raw+ep") != std::string::npos,
                  c.capabilityAdvice)
            << socket.problem;
    }
}

// The kept raw socket fails mid-sweep (closed behind its back): the probe
// that found it broken is sent again over a ping socket where one can be
// had, every later probe uses that one, and the user is told once.
TEST(LinuxPlatformEcho, KeptSocketThatFailsGivesWayToAPingSocket) {
    struct Case {
        const char* name;
        int datagramError;
        std::vector<std::int32_t> results;
        const char* notice;
    };
    const std::int32_t failed = IpStatus::GeneralFailure;
    const Case cases[] = {
        {"ping socket", 0, {0, 0, 0, 0}, "go on through a new datagram ICMP socket"},
        {"no ping socket", EACCES, {0, 0, failed, -1}, "No other could be opened"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedCalls calls;
        calls.datagramError = c.datagramError;
        calls.rawError = EPERM; // no capability left
        LinuxPlatform platform(calls);
        platform.keepSocket(kRawFd, kRaw);
        ScopedPlatform guard(platform);
        mdlKorvantiser::EchoReplyRecord record;
        std::vector<std::int32_t> results;
        for (std::size_t probe = 0; probe < c.results.size(); ++probe) {
            calls.brokenFd = probe == 2 ? kRawFd : -1;
            results.push_back(mdlKorvantiser::PingHost("127.0.0.1", "Korvantis", record));
        }
        EXPECT_EQ(results, c.results);
        EXPECT_EQ(calls.closedFds, std::vector<int>{}); // closed already: not again
        const std::string notice = mdlKorvantiser::EchoServiceNotice();
        EXPECT_NE(notice.find("The raw ICMP socket of the probes failed"), std::string::npos)
            << notice;
        EXPECT_NE(notice.find(c.notice), std::string::npos) << notice;
        EXPECT_EQ(mdlKorvantiser::EchoServiceNotice(), "");
    }
}

} // namespace
