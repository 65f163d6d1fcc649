#pragma once
// ICMP echo packets: building one request and deciding, in one place, what
// a received packet means for the request that is waiting.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tobrik::net {

// The request that a probe is waiting for.
struct EchoRequestId {
    std::uint16_t identifier = 0; // host byte order
    std::uint16_t sequence = 0;   // host byte order
    bool matchIdentifier = true;  // false where the kernel owns the identifier
    std::uint32_t target = 0;     // the address it went to (network byte order)
};

// How a received packet starts.
enum class PacketForm {
    IcmpOnly,     // datagram ICMP socket: the ICMP header comes first
    WithIpHeader, // raw socket: an IPv4 header comes first
};

enum class Verdict {
    Unrelated, // not about our request: keep waiting
    EchoReply, // the echo reply to our request
    Error,     // an ICMP error that quotes our request
};

// What a received packet, or a queued ICMP error, says about the request
// that is waiting: the one result of the Linux echo path before it becomes
// the reply record.
struct EchoAnswer {
    Verdict verdict = Verdict::Unrelated;
    std::int32_t status = 0;    // IpStatus code for Error, 0 for EchoReply
    std::uint32_t source = 0;   // sender of the reply or error (network order)
    std::size_t dataOffset = 0; // where the echo data starts in the packet
    std::size_t dataLength = 0; // its length
};

// An echo request (type 8) carrying payload, checksum filled in.
std::vector<std::uint8_t> BuildEchoRequest(const EchoRequestId& id, const std::string& payload);

// The Internet checksum of data.
std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t length);

// What packet (length bytes, any content) means for the request id.
// source is the sender's address as the socket reported it (network order).
// A raw socket's packet counts only with a valid ICMP checksum (a datagram
// socket gets only messages that the kernel has checked). An echo reply
// counts only from the target (StatusFromTarget); an ICMP error, which a
// router on the way may send, only when it quotes the request, and a raw
// socket's only when the quoted datagram went to the target.
EchoAnswer ClassifyPacket(const std::uint8_t* packet, std::size_t length, PacketForm form,
                          const EchoRequestId& id, std::uint32_t source);

// True when packet (ICMP header first) is the echo request id. A datagram
// socket's error queue hands back the request that an ICMP error quoted.
bool IsOwnEchoRequest(const std::uint8_t* packet, std::size_t length, const EchoRequestId& id);

// True for the ICMP types that ClassifyPacket can take for an answer: the
// echo reply and the errors that quote a request.
bool CanAnswerEcho(std::uint8_t type);

// The status code for an ICMP error of the given type and code.
std::int32_t StatusForIcmpError(std::uint8_t type, std::uint8_t code);

// The status of a probe of target whose echo service reported status for a
// message from source (both network byte order). A host answers an echo
// request from the address it was sent to, so an echo reply (status 0)
// from any other address is another host's and no answer: the probe has
// timed out (RequestTimedOut). Other statuses stand as reported.
std::int32_t StatusFromTarget(std::int32_t status, std::uint32_t source, std::uint32_t target);

// True for the destinations that no echo request goes to: multicast groups
// (224.0.0.0/4), whose every member would answer, and the reserved block
// 240.0.0.0/4 with the limited broadcast (network byte order).
bool IsRefusedEchoDestination(std::uint32_t address);

} // namespace tobrik::net
