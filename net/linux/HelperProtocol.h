#pragma once
// The messages between the window and its echo helper, one per packet of
// their SOCK_SEQPACKET pair: a request names one IPv4 address and a
// time-out; an answer carries the request's status and the reply record
// that PingHost hands back. Both ends run on one machine, so fields are in
// host byte order, except the address, in network byte order as elsewhere.

#include "EchoReplyRecord.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace tobrik::net::linux_net {

// The longest wait a request may ask for: ample for any probe.
inline constexpr std::uint32_t kHelperTimeoutLimitMs = 10000;

struct EchoRequest {
    std::uint32_t serial = 0;  // repeated in the answer
    std::uint32_t address = 0; // network byte order
    std::uint32_t timeoutMs = 0;
};

// The first message of the helper says whether it serves; every later one
// answers a request. A first message other than Ready ends the helper.
enum class HelperState : std::int32_t {
    Ready = 1,              // first message: the helper serves requests
    NoRawSocket = 2,        // first message: the raw socket was refused (error: errno)
    CapabilitiesKept = 3,   // first message: a capability could not be cleared
    Answered = 4,           // the answer to a request
    RequestRefused = 5,     // the request was malformed: nothing was sent
    SocketFailed = 6,       // the raw socket failed (error: errno): the helper ends
    NotNarrowed = 7,        // first message: the socket's filters were refused (error: errno)
    DescriptorsKept = 8,    // first message: inherited descriptors stayed open (error: errno)
    DestinationRefused = 9, // the answer to a request for a refused destination
                            // (IsRefusedEchoDestination): nothing was sent
};

struct HelperAnswer {
    HelperState state = HelperState::Answered;
    std::uint32_t serial = 0;
    std::int32_t error = 0;
    std::int32_t status = 0; // IpStatus of the request when Answered
    bool recorded = false;   // record holds the reply or ICMP error that came
    std::array<std::uint8_t, kEchoReplyAreaSize> record{};
};

inline constexpr std::size_t kRequestSize = 16;
inline constexpr std::size_t kAnswerSize = 24 + kEchoReplyAreaSize;

using RequestBytes = std::array<std::uint8_t, kRequestSize>;
using AnswerBytes = std::array<std::uint8_t, kAnswerSize>;

RequestBytes EncodeRequest(const EchoRequest& request);
// The request in bytes (any length, any content); nothing when they are not
// exactly one well-formed request: its tag, an address other than the
// limited broadcast, and a time-out of 1 to kHelperTimeoutLimitMs.
std::optional<EchoRequest> DecodeRequest(const std::uint8_t* bytes, std::size_t length);

AnswerBytes EncodeAnswer(const HelperAnswer& answer);
// Nothing when bytes are not exactly one answer with a known state.
std::optional<HelperAnswer> DecodeAnswer(const std::uint8_t* bytes, std::size_t length);

} // namespace tobrik::net::linux_net
