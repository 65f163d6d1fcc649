#pragma once
// Narrowing the echo helper's raw ICMP socket to what can answer its own
// requests, and locking that filter so that nothing can lift it.

#include "linux/SocketCalls.h"

#include <cstdint>

namespace tobrik::net::linux_net {

// A raw socket receives every ICMP packet of the host. Two filters leave it
// only what can answer a request of this process: the kernel's ICMP type
// filter passes the types that the classifier can take for an answer, and a
// socket filter drops echo replies that carry another identifier. The
// socket filter is then locked (SO_LOCK_FILTER): should the descriptor ever
// reach another process, it cannot be detached there. A small receive
// buffer (kRawReceiveBuffer) holds a few answers, not the ICMP errors of the
// host's other traffic that an idle helper would gather. False, errno set,
// when one of the steps was refused: the helper then does not serve.
bool NarrowRawSocket(SocketCalls& calls, int fd, std::uint16_t identifier);

// The receive buffer asked for; the kernel doubles it for its bookkeeping:
// 16 KiB in all, some twenty echo replies of loopback or a few of a
// network card that gives each packet a page.
inline constexpr int kRawReceiveBuffer = 8192;

} // namespace tobrik::net::linux_net
