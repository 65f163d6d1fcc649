#pragma once
// One ICMP echo request over a socket this process holds, in three steps:
// send it, wait for its answer, and read the ICMP errors that the kernel
// queues for a datagram socket. The window runs it over its ping socket,
// the echo helper over its raw socket.

#include "linux/SocketCalls.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tobrik::net::linux_net {

enum class IcmpSocketKind {
    Datagram, // unprivileged ICMP datagram socket: the kernel owns the identifier
    Raw,      // raw ICMP socket: sees every ICMP packet of the host, IP header first
};

// The identifier of this process's requests over a raw socket (host byte
// order), drawn once so that other programs cannot easily guess it.
std::uint16_t EchoIdentifier();

struct EchoExchangeResult {
    std::int32_t status = 0; // IpStatus of the request
    bool recorded = false;   // a reply record was written
    // The error with which the socket itself failed, so that no later
    // request may use it; 0 when it did not (a time-out, an ICMP error or
    // a refused destination leave it usable).
    int socketError = 0;
};

// Sends one echo request carrying payload to addr (network byte order) over
// fd, an ICMP socket of the given kind, and waits at most timeoutMs for its
// answer. Whatever waits on the socket beforehand (late answers to earlier
// requests, other programs' traffic, ICMP errors) is discarded first, so
// that only this request's answer ends the wait. A reply or an ICMP error
// for it is written as a reply record into area (size bytes); its status is
// 0 exactly for an echo reply.
EchoExchangeResult ExchangeEcho(int fd, IcmpSocketKind kind, SocketCalls& calls, std::uint32_t addr,
                                const std::string& payload, std::uint8_t* area, std::size_t size,
                                std::uint32_t timeoutMs);

} // namespace tobrik::net::linux_net
