// Building ICMP echo requests and classifying what comes back.

#include "IcmpPacket.h"

#include "IpStatus.h"

#include <cstring>

namespace tobrik::net {

namespace {

constexpr std::uint8_t kEchoReply = 0;
constexpr std::uint8_t kDestUnreachable = 3;
constexpr std::uint8_t kSourceQuench = 4;
constexpr std::uint8_t kEchoRequest = 8;
constexpr std::uint8_t kTimeExceeded = 11;
constexpr std::uint8_t kParameterProblem = 12;

// The ICMP header: type, code, checksum, then identifier and sequence of
// an echo message.
constexpr std::size_t kIcmpHeaderSize = 8;
constexpr std::size_t kIcmpChecksumOffset = 2;
constexpr std::size_t kIcmpIdentifierOffset = 4;
constexpr std::size_t kIcmpSequenceOffset = 6;

// The IPv4 header: version and header length (in 32-bit words) in its first
// byte, the protocol at byte 9.
constexpr std::size_t kMinIpHeaderSize = 20;
constexpr std::uint8_t kIpVersion4 = 4;
constexpr std::size_t kIpHeaderWordSize = 4;
constexpr std::size_t kIpProtocolOffset = 9;
constexpr std::size_t kIpDestinationOffset = 16;
constexpr std::uint8_t kProtocolIcmp = 1;

std::uint16_t readU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

void writeU16(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value >> 8);
    p[1] = static_cast<std::uint8_t>(value & 0xFF);
}

// Length of the IPv4 header at the start of packet, or 0 when the bytes do
// not start with a complete IPv4 header carrying ICMP.
std::size_t icmpIpHeaderLength(const std::uint8_t* packet, std::size_t length) {
    if (length < kMinIpHeaderSize)
        return 0;
    if ((packet[0] >> 4) != kIpVersion4)
        return 0;
    const std::size_t headerLength = static_cast<std::size_t>(packet[0] & 0x0F) * kIpHeaderWordSize;
    if (headerLength < kMinIpHeaderSize || headerLength > length)
        return 0;
    if (packet[kIpProtocolOffset] != kProtocolIcmp)
        return 0;
    return headerLength;
}

bool matchesRequest(const std::uint8_t* icmp, const EchoRequestId& id) {
    if (id.matchIdentifier && readU16(icmp + kIcmpIdentifierOffset) != id.identifier)
        return false;
    return readU16(icmp + kIcmpSequenceOffset) == id.sequence;
}

// True when an ICMP error's body (the quoted datagram) quotes our request:
// an IPv4 header carrying ICMP followed by at least the 8 bytes of an echo
// request header with our identifier and sequence. On a raw socket, which
// sees the errors of every request of the host, the quoted datagram must
// also have gone to our target (a datagram socket's kernel has matched it).
bool quotesRequest(const std::uint8_t* quoted, std::size_t length, PacketForm form,
                   const EchoRequestId& id) {
    const std::size_t headerLength = icmpIpHeaderLength(quoted, length);
    if (headerLength == 0 || length - headerLength < kIcmpHeaderSize)
        return false;
    std::uint32_t destination;
    std::memcpy(&destination, quoted + kIpDestinationOffset, sizeof destination);
    if (form == PacketForm::WithIpHeader && destination != id.target)
        return false;
    const std::uint8_t* icmp = quoted + headerLength;
    return icmp[0] == kEchoRequest && matchesRequest(icmp, id);
}

bool isErrorType(std::uint8_t type) {
    return type == kDestUnreachable || type == kSourceQuench || type == kTimeExceeded ||
           type == kParameterProblem;
}

} // namespace

std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t length) {
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < length; i += 2)
        sum += readU16(data + i);
    if (i < length)
        sum += static_cast<std::uint32_t>(data[i]) << 8;
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

std::vector<std::uint8_t> BuildEchoRequest(const EchoRequestId& id, const std::string& payload) {
    std::vector<std::uint8_t> packet(kIcmpHeaderSize + payload.size(), 0);
    packet[0] = kEchoRequest;
    packet[1] = 0;
    writeU16(packet.data() + kIcmpIdentifierOffset, id.identifier);
    writeU16(packet.data() + kIcmpSequenceOffset, id.sequence);
    if (!payload.empty())
        std::memcpy(packet.data() + kIcmpHeaderSize, payload.data(), payload.size());
    writeU16(packet.data() + kIcmpChecksumOffset, InternetChecksum(packet.data(), packet.size()));
    return packet;
}

bool IsOwnEchoRequest(const std::uint8_t* packet, std::size_t length, const EchoRequestId& id) {
    return length >= kIcmpHeaderSize && packet[0] == kEchoRequest && matchesRequest(packet, id);
}

EchoAnswer ClassifyPacket(const std::uint8_t* packet, std::size_t length, PacketForm form,
                          const EchoRequestId& id, std::uint32_t source) {
    EchoAnswer result;
    if (packet == nullptr)
        return result;
    std::size_t offset = 0;
    if (form == PacketForm::WithIpHeader) {
        offset = icmpIpHeaderLength(packet, length);
        if (offset == 0)
            return result;
    }
    if (length - offset < kIcmpHeaderSize)
        return result;
    const std::uint8_t* icmp = packet + offset;
    // The kernel checks the ICMP checksum only after handing a copy to the
    // raw sockets; a damaged message must not count as an answer.
    if (form == PacketForm::WithIpHeader && InternetChecksum(icmp, length - offset) != 0)
        return result;
    const std::uint8_t type = icmp[0];
    const std::uint8_t code = icmp[1];

    if (type == kEchoReply) {
        if (code != 0 || !matchesRequest(icmp, id) ||
            StatusFromTarget(IpStatus::Success, source, id.target) != IpStatus::Success)
            return result;
        result.verdict = Verdict::EchoReply;
        result.status = IpStatus::Success;
        result.source = source;
        result.dataOffset = offset + kIcmpHeaderSize;
        result.dataLength = length - result.dataOffset;
        return result;
    }
    // Echo requests, including our own as a raw socket sees them leave, and
    // every other informational message are no answer.
    if (!isErrorType(type))
        return result;
    const std::size_t quotedOffset = offset + kIcmpHeaderSize;
    if (!quotesRequest(packet + quotedOffset, length - quotedOffset, form, id))
        return result;
    result.verdict = Verdict::Error;
    result.status = StatusForIcmpError(type, code);
    result.source = source;
    return result;
}

bool CanAnswerEcho(std::uint8_t type) {
    return type == kEchoReply || isErrorType(type);
}

std::int32_t StatusForIcmpError(std::uint8_t type, std::uint8_t code) {
    switch (type) {
    case kDestUnreachable:
        switch (code) {
        case 0:  // network unreachable
        case 6:  // destination network unknown
        case 11: // network unreachable for the type of service
            return IpStatus::DestNetUnreachable;
        case 2:  // protocol unreachable
        case 9:  // network administratively prohibited
        case 10: // host administratively prohibited
        case 13: // communication administratively prohibited
        case 15: // precedence cut-off in effect
            return IpStatus::DestProhibited;
        case 3: // port unreachable
            return IpStatus::DestPortUnreachable;
        case 4: // fragmentation needed, and not allowed
            return IpStatus::PacketTooBig;
        default: // host unreachable, unknown, isolated and the rest
            return IpStatus::DestHostUnreachable;
        }
    case kTimeExceeded:
        // Code 1: the fragments were not reassembled in time.
        return code == 1 ? IpStatus::TtlExpiredReassembly : IpStatus::TtlExpiredTransit;
    case kParameterProblem:
        return IpStatus::ParameterProblem;
    case kSourceQuench:
        return IpStatus::SourceQuench;
    default:
        return IpStatus::GeneralFailure;
    }
}

std::int32_t StatusFromTarget(std::int32_t status, std::uint32_t source, std::uint32_t target) {
    return status == IpStatus::Success && source != target ? IpStatus::RequestTimedOut : status;
}

bool IsRefusedEchoDestination(std::uint32_t address) {
    // The first octet, whatever the byte order of the machine.
    const auto first = reinterpret_cast<const std::uint8_t*>(&address)[0];
    return first >= 224;
}

} // namespace tobrik::net
