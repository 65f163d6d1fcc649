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
// reach another process, it cannot be detached there. False when one of the
// steps was refused; the classifier still decides, so a socket without them
// works as well, just busier.
bool NarrowRawSocket(SocketCalls& calls, int fd, std::uint16_t identifier);

} // namespace tobrik::net::linux_net
