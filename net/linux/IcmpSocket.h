#pragma once
// Opening the socket that carries ICMP echo requests on Linux.

#include "linux/SocketCalls.h"

#include <string>

namespace tobrik::net::linux_net {

enum class IcmpSocketKind {
    None,     // no socket could be opened
    Datagram, // unprivileged ICMP datagram socket: the kernel owns the identifier
    Raw,      // raw ICMP socket: sees every ICMP packet of the host, IP header first
};

struct IcmpSocket {
    int fd = -1; // owned by the caller; -1 when kind is None
    IcmpSocketKind kind = IcmpSocketKind::None;
    std::string problem; // when kind is None: why not, for the user
};

// Tries an ICMP datagram socket first (allowed without privileges where
// net.ipv4.ping_group_range includes one of the caller's groups) and falls
// back to a raw socket (root or CAP_NET_RAW). A datagram socket that cannot
// report ICMP errors (IP_RECVERR) gives way to the raw socket, and is kept
// only when that cannot be had. Both are opened close-on-exec.
IcmpSocket OpenIcmpSocket(SocketCalls& calls);

// Which kind OpenIcmpSocket would give this process now; opens and closes
// a socket to find out.
IcmpSocketKind AvailableIcmpSocketKind();

const char* IcmpSocketKindName(IcmpSocketKind kind);

} // namespace tobrik::net::linux_net
