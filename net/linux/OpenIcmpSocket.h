#pragma once
// Opening the ICMP sockets of the echo service: the window's ping socket,
// and the echo helper's raw socket.

#include "linux/SocketCalls.h"

#include <string>

namespace tobrik::net::linux_net {

// What trying to open a socket gave: the descriptor (owned by the caller),
// or -1 and the errno of the refusal.
struct SocketAttempt {
    int fd = -1;
    int error = 0;
};

// An ICMP datagram ("ping") socket, allowed without privileges where
// net.ipv4.ping_group_range includes one of the caller's groups; asked to
// report ICMP errors (IP_RECVERR), without which an unreachable host would
// wait out the whole time-out as if silent. Close-on-exec.
SocketAttempt OpenPingSocket(SocketCalls& calls);

// A raw ICMP socket (root or CAP_NET_RAW), close-on-exec.
SocketAttempt OpenRawSocket(SocketCalls& calls);

// Why a ping socket was refused with error, in words for the user.
std::string PingSocketProblem(int error);

// True for the errors of a refused permission.
bool IsPermissionError(int error);

} // namespace tobrik::net::linux_net
