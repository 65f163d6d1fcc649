#include "linux/SocketCalls.h"

#include <unistd.h>

namespace tobrik::net::linux_net {

int SocketCalls::openSocket(int domain, int type, int protocol) {
    return ::socket(domain, type, protocol);
}

int SocketCalls::setOption(int fd, int level, int name, const void* value, socklen_t length) {
    return ::setsockopt(fd, level, name, value, length);
}

int SocketCalls::getOption(int fd, int level, int name, void* value, socklen_t* length) {
    return ::getsockopt(fd, level, name, value, length);
}

ssize_t SocketCalls::sendTo(int fd, const void* data, size_t length, int flags, const sockaddr* to,
                            socklen_t toLength) {
    return ::sendto(fd, data, length, flags, to, toLength);
}

int SocketCalls::waitFor(pollfd* entries, nfds_t count, int timeoutMs) {
    return ::poll(entries, count, timeoutMs);
}

ssize_t SocketCalls::receiveFrom(int fd, void* buffer, size_t length, int flags, sockaddr* from,
                                 socklen_t* fromLength) {
    return ::recvfrom(fd, buffer, length, flags, from, fromLength);
}

ssize_t SocketCalls::receiveMessage(int fd, msghdr* message, int flags) {
    return ::recvmsg(fd, message, flags);
}

int SocketCalls::closeSocket(int fd) {
    return ::close(fd);
}

SocketCalls& systemSocketCalls() {
    static SocketCalls calls;
    return calls;
}

} // namespace tobrik::net::linux_net
