// One echo request over an ICMP socket: send, wait, error queue, record.

#include "linux/EchoExchange.h"

#include "EchoReplyRecord.h"
#include "IcmpPacket.h"
#include "IpStatus.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <limits>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <random>
#include <sys/random.h>

namespace tobrik::net::linux_net {

namespace {

using Clock = std::chrono::steady_clock;

// The largest ICMP error the kernel queues for us quotes at most the 576
// bytes of a minimal IPv4 datagram (RFC 1812, 4.3.2.3); our request fits.
constexpr std::size_t kQuotedLimit = 576;
// Room for the IP_RECVERR message and the offender's address.
constexpr std::size_t kControlSize = 512;
// More than a socket's receive buffer holds of ICMP packets: the bounds
// keep a flood from holding a request back or the window frozen.
constexpr int kMostDiscarded = 4096;
constexpr int kMostQueuedErrorsPerWake = 64;

// Two bytes of the kernel's random generator, which a host that saw
// earlier requests cannot predict; std::random_device should a kernel
// without getrandom refuse it.
std::uint16_t unguessable() {
    std::uint16_t value;
    if (getrandom(&value, sizeof value, 0) == sizeof value)
        return value;
    return static_cast<std::uint16_t>(std::random_device()());
}

bool isRetryable(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

// The errors that the kernel makes of ICMP errors: a datagram socket hands
// one out as the error of a read, and it says nothing about the socket.
bool isIcmpReport(int error) {
    switch (error) {
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ENOPROTOOPT:
    case ECONNREFUSED:
    case EMSGSIZE:
    case EOPNOTSUPP:
    case EHOSTDOWN:
    case ENONET:
    case EACCES:
    case EPROTO:
        return true;
    default:
        return false;
    }
}

std::int32_t statusForSendError(int error) {
    switch (error) {
    case ENETUNREACH:
        return IpStatus::DestNetUnreachable;
    case EHOSTUNREACH:
        return IpStatus::DestHostUnreachable;
    case EACCES:
    case EPERM:
        return IpStatus::DestProhibited;
    case EMSGSIZE:
        return IpStatus::PacketTooBig;
    case ENOBUFS:
    case ENOMEM:
        return IpStatus::NoResources;
    default:
        return IpStatus::GeneralFailure;
    }
}

// A message header for one read of the error queue into data and control.
msghdr errorMessage(iovec& data, char* control, sockaddr_in* from) {
    msghdr message{};
    message.msg_name = from;
    message.msg_namelen = from ? sizeof *from : 0;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = kControlSize;
    return message;
}

const sock_extended_err* icmpError(msghdr& message) {
    const sock_extended_err* error = nullptr;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c))
        if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_RECVERR)
            error = reinterpret_cast<const sock_extended_err*>(CMSG_DATA(c));
    return error != nullptr && error->ee_origin == SO_EE_ORIGIN_ICMP ? error : nullptr;
}

// What the packet or error read last found: an answer for the request
// (verdict other than Unrelated), a failed socket, or nothing yet.
struct Found {
    EchoAnswer answer;
    int error = 0;
    bool any() const { return answer.verdict != Verdict::Unrelated || error != 0; }
};

class Exchange {
  public:
    Exchange(int fd, IcmpSocketKind kind, SocketCalls& calls)
        : fd_(fd), kind_(kind), calls_(calls) {}
    EchoExchangeResult run(std::uint32_t addr, const std::string& payload, std::uint8_t* area,
                           std::size_t size, std::uint32_t timeoutMs);

  private:
    int discardQueued();
    int discardErrorQueue(int reads);
    int send(std::uint32_t addr, const std::string& payload);
    Found wait();
    Found readReady(short events);
    Found readPacket();
    Found readErrorQueue();
    void record(const EchoAnswer& answer, std::uint8_t* area, std::size_t size) const;

    int fd_;
    IcmpSocketKind kind_;
    SocketCalls& calls_;
    EchoRequestId id_;
    Clock::time_point sentAt_, deadline_;
    std::array<std::uint8_t, 65536> packet_; // the largest IPv4 datagram
};

EchoExchangeResult Exchange::run(std::uint32_t addr, const std::string& payload, std::uint8_t* area,
                                 std::size_t size, std::uint32_t timeoutMs) {
    if (area == nullptr || size < kEchoReplyHeaderSize)
        return {IpStatus::BufferTooSmall, false, 0};
    if (const int error = discardQueued())
        return {IpStatus::GeneralFailure, false, error};
    sentAt_ = Clock::now();
    deadline_ = sentAt_ + std::chrono::milliseconds(timeoutMs);
    if (const int error = send(addr, payload)) {
        // A refused destination leaves the socket as good as it was.
        const std::int32_t status = statusForSendError(error);
        return {status, false, status == IpStatus::GeneralFailure ? error : 0};
    }
    const Found found = wait();
    if (found.error != 0)
        return {IpStatus::GeneralFailure, false, found.error};
    if (found.answer.verdict == Verdict::Unrelated)
        return {IpStatus::RequestTimedOut, false, 0};
    record(found.answer, area, size);
    return {found.answer.status, true, 0};
}

// Discards every queued packet and, on a datagram socket, every queued ICMP
// error and the pending error that announces it. 0, or the error with
// which reading the socket failed.
int Exchange::discardQueued() {
    std::uint8_t scrap[1];
    int reads = 0;
    while (reads++ < kMostDiscarded) {
        if (calls_.receiveFrom(fd_, scrap, sizeof scrap, MSG_DONTWAIT, nullptr, nullptr) >= 0 ||
            errno == EINTR)
            continue;
        if (isRetryable(errno))
            break;
        // A datagram socket reports a queued ICMP error as the error of
        // one read; anything else means the socket is broken.
        if (kind_ != IcmpSocketKind::Datagram || !isIcmpReport(errno))
            return errno;
    }
    return kind_ == IcmpSocketKind::Datagram ? discardErrorQueue(reads) : 0;
}

int Exchange::discardErrorQueue(int reads) {
    std::uint8_t scrap[1];
    alignas(cmsghdr) char control[kControlSize];
    while (reads++ < kMostDiscarded) {
        iovec data{scrap, sizeof scrap};
        msghdr message = errorMessage(data, control, nullptr);
        if (calls_.receiveMessage(fd_, &message, MSG_ERRQUEUE | MSG_DONTWAIT) >= 0 ||
            errno == EINTR)
            continue;
        return isRetryable(errno) ? 0 : errno;
    }
    return 0;
}

// 0 once the request is out, else why not.
int Exchange::send(std::uint32_t addr, const std::string& payload) {
    // The kernel replaces a datagram socket's identifier with its own, so
    // only the sequence number tells our replies there. It is drawn anew
    // for every request: a host that saw one request cannot answer the
    // next, and a late reply to an earlier one comes from its own target.
    id_.sequence = unguessable();
    id_.identifier = EchoIdentifier();
    id_.matchIdentifier = kind_ == IcmpSocketKind::Raw;
    id_.target = addr;
    const auto request = BuildEchoRequest(id_, payload);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = addr;
    ssize_t sent;
    do
        sent = calls_.sendTo(fd_, request.data(), request.size(), 0,
                             reinterpret_cast<sockaddr*>(&target), sizeof target);
    while (sent < 0 && errno == EINTR);
    return sent < 0 ? errno : 0;
}

// Waits until the answer comes, the socket fails or the deadline passes.
Found Exchange::wait() {
    for (;;) {
        const auto now = Clock::now();
        if (now >= deadline_)
            return {};
        // Round up so that the wait never ends just short of the deadline.
        const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - now);
        pollfd entry{fd_, POLLIN, 0};
        const int ready = calls_.waitFor(
            &entry, 1, static_cast<int>(std::min<long long>(remaining.count(), INT_MAX)));
        if (ready < 0 && errno != EINTR)
            return {{}, errno};
        if (ready <= 0)
            continue;
        if (entry.revents & POLLNVAL)
            return {{}, EBADF};
        if (const Found found = readReady(entry.revents); found.any())
            return found;
    }
}

Found Exchange::readReady(short events) {
    Found found;
    if (events & POLLERR) {
        if (kind_ == IcmpSocketKind::Datagram)
            found = readErrorQueue();
        // A pending socket error that no queued packet explains would keep
        // poll from waiting; reading it clears it.
        int pending = 0;
        socklen_t pendingLength = sizeof pending;
        calls_.getOption(fd_, SOL_SOCKET, SO_ERROR, &pending, &pendingLength);
    }
    if (!found.any() && (events & POLLIN))
        found = readPacket();
    return found;
}

Found Exchange::readPacket() {
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t length = calls_.receiveFrom(fd_, packet_.data(), packet_.size(), MSG_DONTWAIT,
                                              reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (length >= 0) {
        const PacketForm form =
            kind_ == IcmpSocketKind::Raw ? PacketForm::WithIpHeader : PacketForm::IcmpOnly;
        return {ClassifyPacket(packet_.data(), static_cast<std::size_t>(length), form, id_,
                               from.sin_addr.s_addr)};
    }
    if (isRetryable(errno))
        return {};
    // A datagram socket reports an ICMP error that arrived since poll as
    // the error of this read; its error queue holds the details. Another
    // request's ICMP error is no answer and leaves the socket usable.
    const int error = errno;
    if (kind_ != IcmpSocketKind::Datagram)
        return {{}, error};
    const Found queued = readErrorQueue();
    return queued.any() || isIcmpReport(error) ? queued : Found{{}, error};
}

// Reads the queued ICMP errors of a datagram socket, as many as arrived
// but never more than a bound nor past the deadline, so that a flood of
// errors cannot hold the probe. The one that quotes our request is the
// answer; the rest are read to keep poll from reporting them again.
Found Exchange::readErrorQueue() {
    Found found;
    alignas(cmsghdr) char control[kControlSize];
    for (int reads = 0; reads < kMostQueuedErrorsPerWake && Clock::now() < deadline_; ++reads) {
        std::uint8_t quoted[kQuotedLimit];
        iovec data{quoted, sizeof quoted};
        sockaddr_in from{};
        msghdr message = errorMessage(data, control, &from);
        const ssize_t length = calls_.receiveMessage(fd_, &message, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (length < 0 && errno == EINTR)
            continue;
        if (length < 0) {
            if (!isRetryable(errno) && !found.any())
                found.error = errno;
            break;
        }
        // The kernel names where the quoted request went as the sender.
        const sock_extended_err* error = icmpError(message);
        if (found.any() || error == nullptr || from.sin_addr.s_addr != id_.target ||
            !IsOwnEchoRequest(quoted, static_cast<std::size_t>(length), id_))
            continue;
        sockaddr_in offender{};
        std::memcpy(&offender, SO_EE_OFFENDER(error), sizeof offender);
        found.answer.verdict = Verdict::Error;
        found.answer.status = StatusForIcmpError(error->ee_type, error->ee_code);
        found.answer.source = offender.sin_family == AF_INET ? offender.sin_addr.s_addr : 0;
    }
    return found;
}

// Writes the reply record into the area; data is cut to what fits.
void Exchange::record(const EchoAnswer& answer, std::uint8_t* area, std::size_t size) const {
    std::memset(area, 0, kEchoReplyHeaderSize);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sentAt_).count();
    const auto roundTripMs = static_cast<std::uint32_t>(ms < 0 ? 0 : ms);
    const std::size_t length = answer.verdict == Verdict::EchoReply ? answer.dataLength : 0;
    const std::size_t copied = std::min({length, size - kEchoReplyHeaderSize,
                                         std::size_t{std::numeric_limits<std::uint16_t>::max()}});
    const auto dataSize = static_cast<std::uint16_t>(copied);
    std::memcpy(area + kReplyAddressOffset, &answer.source, sizeof answer.source);
    std::memcpy(area + kReplyStatusOffset, &answer.status, sizeof answer.status);
    std::memcpy(area + kReplyRoundTripOffset, &roundTripMs, sizeof roundTripMs);
    std::memcpy(area + kReplyDataSizeOffset, &dataSize, sizeof dataSize);
    if (copied > 0)
        std::memcpy(area + kEchoReplyHeaderSize, packet_.data() + answer.dataOffset, copied);
}

} // namespace

std::uint16_t EchoIdentifier() {
    static const std::uint16_t identifier = unguessable();
    return identifier;
}

EchoExchangeResult ExchangeEcho(int fd, IcmpSocketKind kind, SocketCalls& calls, std::uint32_t addr,
                                const std::string& payload, std::uint8_t* area, std::size_t size,
                                std::uint32_t timeoutMs) {
    Exchange exchange(fd, kind, calls);
    return exchange.run(addr, payload, area, size, timeoutMs);
}

} // namespace tobrik::net::linux_net
