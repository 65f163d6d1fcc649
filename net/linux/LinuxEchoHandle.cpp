#include "linux/LinuxEchoHandle.h"

#include "EchoReplyRecord.h"
#include "IcmpPacket.h"
#include "IpStatus.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <linux/errqueue.h>
#include <linux/filter.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <random>

namespace tobrik::net::linux_net {

namespace {

using Clock = std::chrono::steady_clock;

// A value other programs cannot guess, drawn once per process: the raw
// socket's identifier and the first sequence number, so that another
// program's echo traffic is not easily taken for our replies.
std::uint16_t unguessable() {
    std::random_device source;
    return static_cast<std::uint16_t>(source());
}

std::uint16_t processIdentifier() {
    static const std::uint16_t identifier = unguessable();
    return identifier;
}

// One counter for the whole process, so that a late reply to an earlier
// request never matches a later one, whichever handle sent it.
std::uint16_t nextSequence() {
    static std::atomic<std::uint16_t> counter{unguessable()};
    return ++counter;
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

// Writes a reply record into the area; data is cut to what fits.
void writeRecord(std::uint8_t* area, std::size_t size, std::int32_t status, std::uint32_t source,
                 Clock::duration roundTrip, const std::uint8_t* data, std::size_t dataLength) {
    std::memset(area, 0, kEchoReplyHeaderSize);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(roundTrip).count();
    const auto roundTripMs = static_cast<std::uint32_t>(ms < 0 ? 0 : ms);
    const std::size_t room = size - kEchoReplyHeaderSize;
    std::size_t copied = dataLength < room ? dataLength : room;
    if (copied > 0xFFFF)
        copied = 0xFFFF;
    const auto dataSize = static_cast<std::uint16_t>(copied);
    std::memcpy(area + kReplyAddressOffset, &source, sizeof source);
    std::memcpy(area + kReplyStatusOffset, &status, sizeof status);
    std::memcpy(area + kReplyRoundTripOffset, &roundTripMs, sizeof roundTripMs);
    std::memcpy(area + kReplyDataSizeOffset, &dataSize, sizeof dataSize);
    if (copied > 0)
        std::memcpy(area + kEchoReplyHeaderSize, data, copied);
}

struct Answer {
    bool found = false;
    int error = 0; // why the socket could not be read; 0 when it could
    std::int32_t status = 0;
    std::uint32_t source = 0;
    const std::uint8_t* data = nullptr;
    std::size_t dataLength = 0;
};

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

// Reads every queued ICMP error of a datagram socket; the one that quotes
// our request is the answer. A read that fails for any reason but an empty
// queue or a signal fails the answer.
Answer drainErrorQueue(SocketCalls& calls, int fd, const EchoRequestId& id) {
    Answer answer;
    for (;;) {
        std::uint8_t quoted[576];
        alignas(cmsghdr) char control[512];
        sockaddr_in from{};
        iovec iov{quoted, sizeof quoted};
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &iov;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t length = calls.receiveMessage(fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (length < 0) {
            if (errno == EINTR)
                continue;
            if (!isRetryable(errno) && !answer.found)
                answer.error = errno;
            return answer;
        }
        if (answer.found)
            continue; // keep draining so that poll does not report it again
        const sock_extended_err* error = nullptr;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_RECVERR)
                error = reinterpret_cast<const sock_extended_err*>(CMSG_DATA(c));
        }
        if (error == nullptr || error->ee_origin != SO_EE_ORIGIN_ICMP)
            continue;
        if (!IsOwnEchoRequest(quoted, static_cast<std::size_t>(length), id))
            continue;
        sockaddr_in offender{};
        std::memcpy(&offender, SO_EE_OFFENDER(error), sizeof offender);
        answer.found = true;
        answer.status = StatusForIcmpError(error->ee_type, error->ee_code);
        answer.source = offender.sin_family == AF_INET ? offender.sin_addr.s_addr : 0;
    }
}

// A raw socket receives every ICMP packet of the host. Two filters leave it
// only what can answer a request of this process: the kernel's ICMP type
// filter passes the types that the classifier can take for an answer, and a
// socket filter drops echo replies that carry another identifier. Both
// only spare work; the classifier still decides, so a socket without them
// works as well, just busier.
bool narrowRawSocket(SocketCalls& calls, int fd, std::uint16_t identifier) {
    icmp_filter types{};
    types.data = ~0u; // a set bit drops the type
    for (std::uint8_t type = 0; type < 32; ++type)
        if (CanAnswerEcho(type))
            types.data &= ~(1u << type);
    const bool typed = calls.setOption(fd, SOL_RAW, ICMP_FILTER, &types, sizeof types) == 0;

    // The packet starts with the IPv4 header; X takes its length.
    sock_filter code[] = {
        BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),
        BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0),                     // ICMP type
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_ECHOREPLY, 0, 2), // no reply: keep
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4),                     // identifier
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, identifier, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0xFFFFFFFFu), // keep the whole packet
        BPF_STMT(BPF_RET | BPF_K, 0),           // drop it
    };
    sock_fprog program{static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
    const bool identified =
        calls.setOption(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0;
    return typed && identified;
}

// More than a socket's receive buffer holds of ICMP packets: the bound
// keeps a flood from holding a request back.
constexpr int kMostDiscarded = 4096;

// Discards every queued packet and, on a datagram socket, every queued ICMP
// error and the pending error that announces it. 0, or the error with
// which reading the socket failed.
int discardQueued(SocketCalls& calls, int fd, IcmpSocketKind kind) {
    std::uint8_t scrap[1];
    int reads = 0;
    while (reads++ < kMostDiscarded) {
        if (calls.receiveFrom(fd, scrap, sizeof scrap, MSG_DONTWAIT, nullptr, nullptr) >= 0 ||
            errno == EINTR)
            continue;
        if (isRetryable(errno))
            break;
        // A datagram socket reports a queued ICMP error as the error of
        // one read; anything else means the socket is broken.
        if (kind != IcmpSocketKind::Datagram || !isIcmpReport(errno))
            return errno;
    }
    if (kind != IcmpSocketKind::Datagram)
        return 0;
    while (reads++ < kMostDiscarded) {
        alignas(cmsghdr) char control[512];
        iovec iov{scrap, sizeof scrap};
        msghdr message{};
        message.msg_iov = &iov;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        if (calls.receiveMessage(fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT) >= 0 || errno == EINTR)
            continue;
        return isRetryable(errno) ? 0 : errno;
    }
    return 0;
}

} // namespace

void PrepareEchoSocket(int fd, IcmpSocketKind kind, SocketCalls& calls) {
    if (kind == IcmpSocketKind::Raw)
        narrowRawSocket(calls, fd, processIdentifier());
}

LinuxEchoHandle::LinuxEchoHandle(int fd, IcmpSocketKind kind, SocketCalls& calls)
    : fd_(fd), kind_(kind), calls_(calls) {}

EchoOutcome LinuxEchoHandle::failedSocket(int error) {
    socketError_ = error != 0 ? error : EIO;
    return {0, IpStatus::GeneralFailure};
}

EchoOutcome LinuxEchoHandle::sendEcho(std::uint32_t addr, const std::string& payload,
                                      std::uint8_t* replyArea, std::size_t replySize,
                                      std::uint32_t timeoutMs) {
    if (replyArea == nullptr || replySize < kEchoReplyHeaderSize)
        return {0, IpStatus::BufferTooSmall};
    socketError_ = 0;
    if (const int error = discardQueued(calls_, fd_, kind_))
        return failedSocket(error);

    // The kernel replaces a datagram socket's identifier with its own, so
    // only the sequence number tells our replies there.
    EchoRequestId id;
    id.sequence = nextSequence();
    id.identifier = processIdentifier();
    id.matchIdentifier = kind_ == IcmpSocketKind::Raw;
    const PacketForm form =
        kind_ == IcmpSocketKind::Raw ? PacketForm::WithIpHeader : PacketForm::IcmpOnly;
    const auto request = BuildEchoRequest(id, payload);

    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = addr;
    const auto sentAt = Clock::now();
    const auto deadline = sentAt + std::chrono::milliseconds(timeoutMs);
    ssize_t sent;
    do
        sent = calls_.sendTo(fd_, request.data(), request.size(), 0,
                             reinterpret_cast<sockaddr*>(&target), sizeof target);
    while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        // A refused destination leaves the socket as good as it was.
        const std::int32_t status = statusForSendError(errno);
        return status == IpStatus::GeneralFailure ? failedSocket(errno) : EchoOutcome{0, status};
    }

    EchoOutcome outcome;
    std::uint8_t packet[65536];
    for (;;) {
        const auto now = Clock::now();
        if (now >= deadline)
            return {0, IpStatus::RequestTimedOut};
        // Round up so that the wait never ends just short of the deadline.
        const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
        pollfd entry{fd_, POLLIN, 0};
        const int ready =
            calls_.waitFor(&entry, 1, static_cast<int>(std::min<long long>(remaining, INT_MAX)));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return failedSocket(errno);
        }
        if (ready == 0)
            continue;
        if (entry.revents & POLLNVAL)
            return failedSocket(EBADF);

        Answer answer;
        if (entry.revents & POLLERR) {
            if (kind_ == IcmpSocketKind::Datagram)
                answer = drainErrorQueue(calls_, fd_, id);
            // A pending socket error that no queued packet explains would
            // keep poll from waiting; reading it clears it.
            int pending = 0;
            socklen_t pendingLength = sizeof pending;
            calls_.getOption(fd_, SOL_SOCKET, SO_ERROR, &pending, &pendingLength);
        }
        if (!answer.found && answer.error == 0 && (entry.revents & POLLIN)) {
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            const ssize_t length =
                calls_.receiveFrom(fd_, packet, sizeof packet, MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (length < 0) {
                if (isRetryable(errno))
                    continue;
                // A datagram socket reports an ICMP error that arrived
                // since poll as the error of this read; its error queue
                // holds the details. Any other failure ends the wait.
                const int error = errno;
                if (kind_ == IcmpSocketKind::Datagram)
                    answer = drainErrorQueue(calls_, fd_, id);
                // Another request's ICMP error is no answer and leaves the
                // socket usable: the wait goes on.
                const bool others = kind_ == IcmpSocketKind::Datagram && isIcmpReport(error);
                if (!answer.found && answer.error == 0 && !others)
                    answer.error = error;
            } else {
                const auto verdict = ClassifyPacket(packet, static_cast<std::size_t>(length), form,
                                                    id, from.sin_addr.s_addr);
                if (verdict.verdict != Verdict::Unrelated) {
                    answer.found = true;
                    answer.status = verdict.status;
                    answer.source = verdict.source;
                    if (verdict.verdict == Verdict::EchoReply) {
                        answer.data = packet + verdict.dataOffset;
                        answer.dataLength = verdict.dataLength;
                    }
                }
            }
        }
        if (answer.found) {
            writeRecord(replyArea, replySize, answer.status, answer.source, Clock::now() - sentAt,
                        answer.data, answer.dataLength);
            outcome.replies = 1;
            return outcome;
        }
        if (answer.error != 0)
            return failedSocket(answer.error);
    }
}

} // namespace tobrik::net::linux_net
