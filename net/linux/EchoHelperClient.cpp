// Starting the echo helper and exchanging requests and answers with it.

#include "linux/EchoHelperClient.h"

#include "IpStatus.h"
#include "TextArguments.h"
#include "linux/HelperProtocol.h"
#include "linux/OpenIcmpSocket.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <sched.h>
#include <unistd.h>

#ifndef TOBRIK_ECHO_HELPER
#define TOBRIK_ECHO_HELPER ""
#endif

namespace tobrik::net::linux_net {

using text::EchoHelperFault;

EchoHelperClient::EchoHelperClient(std::string path, SocketCalls& calls)
    : path_(std::move(path)), calls_(calls) {
    int ends[2];
    if (calls_.openPair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
        fail(EchoHelperFault::NoChannel, errno);
        return;
    }
    channel_ = OwnedSocket(ends[0], calls_);
    pid_ = calls_.startProgram(path_.c_str(), ends[1]);
    const int error = errno;
    calls_.closeSocket(ends[1]);
    if (pid_ >= 0)
        return;
    if (error == ENOENT)
        fail(EchoHelperFault::Missing);
    else
        fail(EchoHelperFault::CannotStart, error, IsPermissionError(error));
}

EchoHelperClient::~EchoHelperClient() {
    channel_.close();
    if (pid_ >= 0)
        calls_.endProgram(pid_);
}

void EchoHelperClient::fail(EchoHelperFault fault, int error, bool denied) {
    failed_ = true;
    denied_ = denied;
    problem_ = text::WithArguments(text::EchoHelperFaultText(fault),
                                   {path_, error != 0 ? std::strerror(error) : ""});
    channel_.close();
    if (pid_ >= 0)
        calls_.endProgram(pid_);
    pid_ = -1;
}

std::int32_t EchoHelperClient::echo(std::uint32_t addr, std::uint8_t* area, std::size_t size,
                                    std::uint32_t timeoutMs) {
    if (area == nullptr || size < kEchoReplyHeaderSize)
        return IpStatus::BufferTooSmall;
    const auto wait = std::min(timeoutMs, kHelperTimeoutLimitMs);
    const auto deadline = Clock::now() + std::chrono::milliseconds(wait) + kHelperMargin;
    if (failed_ || !awaitGreeting(deadline) || !request(addr, wait))
        return -1;
    const auto answer = receive(deadline);
    if (!answer)
        return -1;
    if (answer->state == HelperState::SocketFailed) {
        fail(EchoHelperFault::SocketFailed, answer->error);
        return IpStatus::GeneralFailure;
    }
    if (answer->state == HelperState::DestinationRefused)
        return -1; // nothing sent; the echo service says why
    if (answer->state != HelperState::Answered) {
        fail(EchoHelperFault::RequestRefused);
        return -1;
    }
    if (answer->recorded)
        std::memcpy(area, answer->record.data(), std::min(size, answer->record.size()));
    return answer->status;
}

bool EchoHelperClient::awaitGreeting(Clock::time_point deadline) {
    if (greeted_)
        return true;
    const auto greeting = receive(deadline);
    if (!greeting)
        return false;
    switch (greeting->state) {
    case HelperState::Ready:
        return greeted_ = true;
    case HelperState::NoRawSocket:
        if (IsPermissionError(greeting->error))
            fail(EchoHelperFault::NoCapability, 0, true);
        else
            fail(EchoHelperFault::NoRawSocket, greeting->error);
        return false;
    case HelperState::CapabilitiesKept:
        fail(EchoHelperFault::CapabilitiesKept);
        return false;
    case HelperState::NotNarrowed:
        fail(EchoHelperFault::NotNarrowed, greeting->error);
        return false;
    case HelperState::DescriptorsKept:
        fail(EchoHelperFault::DescriptorsKept, greeting->error);
        return false;
    default:
        fail(EchoHelperFault::UnexpectedAnswer);
        return false;
    }
}

bool EchoHelperClient::request(std::uint32_t addr, std::uint32_t timeoutMs) {
    const RequestBytes bytes = EncodeRequest({++serial_, addr, timeoutMs});
    const int fd = channel_.usable();
    ssize_t sent = -1;
    do
        sent =
            fd < 0 ? -1 : calls_.sendTo(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL, nullptr, 0);
    while (sent < 0 && fd >= 0 && errno == EINTR);
    if (sent == static_cast<ssize_t>(bytes.size()))
        return true;
    fail(EchoHelperFault::Ended);
    return false;
}

// The next message for this request: the greeting, or the answer that
// carries the request's serial (the helper answers in order, so any other
// serial is stale). Ends the helper when none comes by the deadline.
// For its first kClientAwakeWait it looks without sleeping: a near host's answer
// comes within that, and waking a processor that went idle in poll would
// cost more than the whole exchange (tens of microseconds per probe,
// most in a virtual machine).
std::optional<HelperAnswer> EchoHelperClient::receive(Clock::time_point deadline) {
    const auto awakeUntil = Clock::now() + kClientAwakeWait;
    for (;;) {
        const int fd = channel_.usable();
        const auto now = Clock::now();
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        if (fd < 0 || left.count() <= 0)
            break;
        if (now >= awakeUntil) {
            pollfd entry{fd, POLLIN, 0};
            const int ready = calls_.waitFor(
                &entry, 1, static_cast<int>(std::min<long long>(left.count(), INT_MAX)));
            if (ready <= 0)
                continue;
        }
        AnswerBytes bytes;
        const ssize_t length =
            calls_.receiveFrom(fd, bytes.data(), bytes.size(), MSG_DONTWAIT, nullptr, nullptr);
        if (length < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (Clock::now() < awakeUntil)
                sched_yield(); // the helper may be waiting for this processor
            continue;
        }
        const auto answer = length > 0
                                ? DecodeAnswer(bytes.data(), static_cast<std::size_t>(length))
                                : std::nullopt;
        if (!answer) {
            fail(EchoHelperFault::Ended);
            return std::nullopt;
        }
        const bool answering = answer->state == HelperState::Answered ||
                               answer->state == HelperState::DestinationRefused;
        if (!greeted_ || answer->serial == serial_ || !answering)
            return answer;
    }
    fail(EchoHelperFault::NoAnswerInTime);
    return std::nullopt;
}

std::string EchoHelperPath() {
    if (*TOBRIK_ECHO_HELPER != '\0')
        return TOBRIK_ECHO_HELPER;
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    const std::string program =
        length > 0 ? std::string(path, static_cast<std::size_t>(length)) : "";
    const auto slash = program.rfind('/');
    return (slash == std::string::npos ? std::string(".") : program.substr(0, slash)) +
           "/tobrik-echo";
}

} // namespace tobrik::net::linux_net
