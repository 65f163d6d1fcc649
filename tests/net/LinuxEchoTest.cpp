// The Linux echo service over scripted socket calls: the failures that a
// real socket gives rarely or never on demand. No probe closes the socket.

#include "IcmpPacket.h"
#include "IpStatus.h"
#include "linux/EchoExchange.h"
#include "linux/EchoService.h"
#include "linux/HelperProtocol.h"
#include "linux/LinuxPlatform.h"
#include "linux/echo-helper/RawSocketFilter.h"
#include "mdlKorvantiser.h"

#include <gtest/gtest.h>
#include <linux/icmp.h>

#include <algorithm>
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

constexpr int kDatagramFd = 101; // the first; each new one 10 higher
constexpr int kRawFd = 102;
constexpr int kChannelFd = 200; // the window's end of the helper's channel

// Fake descriptors; each call fails with the errno scripted for it, in call
// order, and succeeds once its script is used up (0 in a script: succeed).
class ScriptedCalls : public SocketCalls {
  public:
    IcmpSocketKind kind = IcmpSocketKind::Datagram; // form of the replies
    int brokenFd = -1;   // closed under us: poll reports it invalid, fstat fails
    int foreignFd = -1;  // closed under us and reused for another file
    int foreignUses = 0; // calls on foreignFd since
    std::vector<int> closedFds;
    std::vector<int> datagramErrors; // per ping socket opened, in order
    std::vector<int> sendErrors, receiveErrors;
    int queueError = EAGAIN;   // the error queue: empty unless scripted
    bool endlessQueue = false; // the error queue never empties
    short pollEvents = POLLIN;
    std::uint32_t passedTypes = 0; // by the raw socket's ICMP type filter
    int helperError = ENOENT;      // of starting the helper; 0: it starts
    int recvErrError = 0;          // of asking a ping socket for ICMP errors
    HelperAnswer greeting;         // what a started helper says first

    int opened = 0, closed = 0, sends = 0, receives = 0, queueReads = 0, waits = 0;

    int openSocket(int, int type, int) override {
        if ((type & SOCK_RAW) == SOCK_RAW)
            return kRawFd;
        if (next(datagramErrors, datagramOpens))
            return -1;
        return kDatagramFd + 10 * opened++;
    }
    int openPair(int, int, int, int fds[2]) override {
        fds[0] = kChannelFd;
        fds[1] = kChannelFd + 1;
        return 0;
    }
    pid_t startProgram(const char*, int) override {
        errno = helperError;
        return helperError ? -1 : 4242;
    }
    void endProgram(pid_t) override {}
    int identify(int fd, struct stat* status) override {
        if (fd == brokenFd) {
            errno = EBADF;
            return -1;
        }
        *status = {};
        status->st_mode = S_IFSOCK;
        status->st_ino = static_cast<ino_t>(fd == foreignFd ? 1 : fd);
        return 0;
    }
    int setOption(int fd, int level, int name, const void* value, socklen_t) override {
        if (level == SOL_RAW && name == ICMP_FILTER)
            passedTypes = ~static_cast<const icmp_filter*>(value)->data;
        // Refused on the raw socket: no read is spent on what came before.
        errno = fd == kRawFd ? ENOPROTOOPT : name == IP_RECVERR ? recvErrError : 0;
        return errno ? -1 : 0;
    }
    int getOption(int, int, int, void* value, socklen_t* length) override {
        std::memset(value, 0, *length);
        return 0;
    }
    ssize_t sendTo(int fd, const void* data, size_t length, int, const sockaddr*,
                   socklen_t) override {
        foreignUses += fd == foreignFd;
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
    ssize_t receiveFrom(int fd, void* buffer, size_t length, int, sockaddr* from,
                        socklen_t*) override {
        foreignUses += fd == foreignFd;
        if (fd == kChannelFd)
            return readGreeting(buffer, length);
        if (!pending)
            return nothingQueued();
        if (next(receiveErrors, receives))
            return -1;
        pending = false;
        reinterpret_cast<sockaddr_in*>(from)->sin_addr.s_addr = 0x0100007F; // every test's target
        const auto packet = reply();
        const std::size_t size = std::min(length, packet.size());
        std::memcpy(buffer, packet.data(), size);
        return static_cast<ssize_t>(size);
    }
    ssize_t receiveMessage(int fd, msghdr* message, int) override {
        foreignUses += fd == foreignFd;
        if (!pending)
            return nothingQueued();
        ++queueReads;
        if (endlessQueue) {
            message->msg_controllen = 0; // an error without its details
            return 1;
        }
        errno = queueError;
        return -1;
    }
    int closeSocket(int fd) override {
        foreignUses += fd == foreignFd;
        closedFds.push_back(fd);
        ++closed;
        return 0;
    }

  private:
    ssize_t readGreeting(void* buffer, std::size_t length) {
        if (greeted)
            return nothingQueued();
        greeted = true;
        const AnswerBytes bytes = EncodeAnswer(greeting);
        std::memcpy(buffer, bytes.data(), std::min(length, bytes.size()));
        return static_cast<ssize_t>(std::min(length, bytes.size()));
    }
    // Before a request is out its socket holds nothing to discard.
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
    bool greeted = false;
    int datagramOpens = 0;
};

struct EchoCase {
    const char* name;
    IcmpSocketKind kind;
    std::vector<int> sendErrors, receiveErrors;
    short pollEvents;
    int queueError;
    std::int32_t status;             // the request's status
    int sends, receives, queueReads; // queueReads -1: any number
    bool endlessQueue = false;
};

void PrintTo(const EchoCase& c, std::ostream* out) {
    *out << c.name;
}

class LinuxEchoPath : public testing::TestWithParam<EchoCase> {};

TEST_P(LinuxEchoPath, EndsAsScripted) {
    const EchoCase& c = GetParam();
    ScriptedCalls calls;
    calls.sendErrors = c.sendErrors;
    calls.receiveErrors = c.receiveErrors;
    calls.pollEvents = c.pollEvents;
    calls.queueError = c.queueError;
    calls.endlessQueue = c.endlessQueue;
    std::array<std::uint8_t, 278> area{};
    const int fd = c.kind == IcmpSocketKind::Raw ? kRawFd : kDatagramFd;
    if (c.kind == IcmpSocketKind::Raw)
        NarrowRawSocket(calls, fd, EchoIdentifier());
    const auto result =
        ExchangeEcho(fd, c.kind, calls, 0x0100007F, "Korvantis", area.data(), area.size(), 300);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.recorded, c.status == 0);
    if (c.status == 0) {
        std::int32_t status = -1;
        std::memcpy(&status, area.data() + 4, sizeof status);
        EXPECT_EQ(status, 0);
    }
    EXPECT_EQ(calls.sends, c.sends);
    EXPECT_EQ(calls.receives, c.receives);
    if (c.queueReads >= 0) {
        EXPECT_EQ(calls.queueReads, c.queueReads);
    }
    EXPECT_EQ(calls.closed, 0);
    // A raw socket passes what can answer: echo reply, destination
    // unreachable, source quench, time exceeded, parameter problem.
    EXPECT_EQ(calls.passedTypes, c.kind == IcmpSocketKind::Raw ? 0x1819u : 0u);
}

constexpr auto kDatagram = IcmpSocketKind::Datagram;
constexpr auto kRaw = IcmpSocketKind::Raw;

// One row a path: socket kind, send and receive errors in call order, what
// poll reports, the error queue's answer; then the status and the calls.
// clang-format off
const EchoCase kEchoCases[] = {
    {"send_interrupted_by_a_signal_is_sent_again",
     kDatagram, {EINTR, EINTR}, {}, POLLIN, EAGAIN, 0, 3, 1, 0},
    {"send_that_fails_says_why",
     kRaw, {EHOSTUNREACH}, {}, POLLIN, EAGAIN, IpStatus::DestHostUnreachable, 1, 0, 0},
    {"read_with_nothing_there_waits_on",
     kRaw, {}, {EAGAIN, EINTR}, POLLIN, EAGAIN, 0, 1, 3, 0},
    {"failing_read_on_a_raw_socket_ends_the_wait",
     kRaw, {}, {ENOMEM}, POLLIN, EAGAIN, IpStatus::GeneralFailure, 1, 1, 0},
    // A datagram socket first looks for an ICMP error behind the failure.
    {"failing_read_on_a_datagram_socket_ends_the_wait",
     kDatagram, {}, {EBADF}, POLLIN, EAGAIN, IpStatus::GeneralFailure, 1, 1, 1},
    {"failing_error_queue_ends_the_wait",
     kDatagram, {}, {}, POLLERR, ENOMEM, IpStatus::GeneralFailure, 1, 0, 1},
    // A flood of ICMP errors that are not ours cannot hold the probe past its time-out.
    {"error_queue_that_never_empties_ends_by_the_deadline",
     kDatagram, {}, {}, POLLERR, EAGAIN, IpStatus::RequestTimedOut, 1, 0, -1, true},
    {"descriptor_that_poll_refuses_ends_the_wait",
     kDatagram, {}, {}, POLLNVAL, EAGAIN, IpStatus::GeneralFailure, 1, 0, 0},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Faults, LinuxEchoPath, testing::ValuesIn(kEchoCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Which remedies the reason names when neither a ping socket nor the
// helper serves: a wider ping group range only where the ping socket was
// refused for permission, setcap only where the helper lacks its
// capability.
TEST(EchoServiceProblem, NamesOnlyTheRemediesThatApply) {
    struct Case {
        const char* name;
        int pingError, helperError, helperSocketError;
        bool groupAdvice, capabilityAdvice;
        const char* helperWords;
    };
    const Case cases[] = {
        {"both refused for permission", EACCES, 0, EPERM, true, true,
         "CAP_NET_RAW の権限がありません"},
        {"no ping sockets in the kernel", EAFNOSUPPORT, 0, EPERM, false, true,
         "の権限がありません"},
        {"helper missing", EACCES, ENOENT, 0, true, false, "/opt/t/tobrik-echo がありません。"},
        {"helper not executable", EACCES, EACCES, 0, true, true,
         "/opt/t/tobrik-echo を起動できません（Permission denied）。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedCalls calls;
        calls.datagramErrors = {c.pingError};
        calls.helperError = c.helperError;
        calls.greeting.state = HelperState::NoRawSocket;
        calls.greeting.error = c.helperSocketError;
        EchoService service(calls, "/opt/t/tobrik-echo");
        std::array<std::uint8_t, 278> area{};
        EXPECT_EQ(service.echo(0x0100007F, "Korvantis", area.data(), area.size(), 100), -1);
        const std::string problem = service.takeProblem();
        EXPECT_EQ(problem.find("sysctl -w net.ipv4.ping_group_range") != std::string::npos,
                  c.groupAdvice)
            << problem;
        EXPECT_EQ(problem.find("setcap cap_net_raw+p /opt/t/tobrik-echo") != std::string::npos,
                  c.capabilityAdvice)
            << problem;
        EXPECT_NE(problem.find(c.helperWords), std::string::npos) << problem;
        EXPECT_EQ(service.takeProblem(), "");
    }
}

// A ping socket that will not report ICMP errors still gets the replies:
// it serves, and the helper is not started.
TEST(EchoServiceChoice, PingSocketWithoutErrorReportsServes) {
    ScriptedCalls calls;
    calls.recvErrError = ENOPROTOOPT;
    EchoService service(calls, "/opt/t/tobrik-echo");
    std::array<std::uint8_t, 278> area{};
    EXPECT_EQ(service.echo(0x0100007F, "Korvantis", area.data(), area.size(), 100), 0);
    EXPECT_EQ(service.takeProblem(), "");
}

// The ping socket fails mid-sweep: closed behind the program's back, or
// closed and its number reused for another file. The probe that found it
// gone goes through a new ping socket where one can be had, every later
// probe uses that one, the user is told once, and the descriptor that is
// no longer ours is neither used nor closed.
TEST(LinuxPlatformEcho, PingSocketThatFailsIsReplaced) {
    struct Case {
        const char* name;
        bool reused;
        std::vector<int> datagramErrors;
        std::vector<std::int32_t> results;
        const char* notice;
    };
    const char* const newSocket = "以降の確認は新しいデータグラム ICMP ソケットで続けます。";
    const char* const noOther = "代わりの送信手段を用意できません。";
    const Case cases[] = {
        {"closed, new ping socket", false, {}, {0, 0, 0, 0}, newSocket},
        {"reused, new ping socket", true, {}, {0, 0, 0, 0}, newSocket},
        {"closed, no ping socket", false, {0, EACCES}, {0, 0, -1, -1}, noOther},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedCalls calls;
        calls.datagramErrors = c.datagramErrors;
        LinuxPlatform platform(calls, "/opt/t/tobrik-echo");
        ScopedPlatform guard(platform);
        tobrik::mdlKorvantiser::EchoReplyRecord record;
        std::vector<std::int32_t> results;
        std::string notice;
        for (std::size_t probe = 0; probe < c.results.size(); ++probe) {
            if (probe == 2)
                (c.reused ? calls.foreignFd : calls.brokenFd) = kDatagramFd;
            results.push_back(tobrik::mdlKorvantiser::PingHost("127.0.0.1", "Korvantis", record));
            if (probe == 2)
                notice = tobrik::mdlKorvantiser::EchoServiceProblem();
        }
        EXPECT_EQ(results, c.results);
        // Gone already: not closed again.
        EXPECT_EQ(std::count(calls.closedFds.begin(), calls.closedFds.end(), kDatagramFd), 0);
        EXPECT_EQ(calls.foreignUses, 0);
        // What the user reads in the box mid-sweep, in full where it does
        // not go on to the system's permissions.
        const std::string failed =
            "確認用のデータグラム ICMP ソケットが使えなくなりました（Bad file descriptor）。";
        EXPECT_TRUE(notice.starts_with(failed + c.notice)) << notice;
        if (c.results.back() == 0) {
            EXPECT_EQ(notice, failed + c.notice);
        }
    }
}

} // namespace
