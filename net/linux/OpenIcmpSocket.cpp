// Opening the ping socket and the raw socket, and saying why one was refused.

#include "linux/OpenIcmpSocket.h"

#include "TextArguments.h"
#include "UserTexts.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <netinet/in.h>

namespace tobrik::net::linux_net {

namespace {

std::string pingGroupRange() {
    std::ifstream file("/proc/sys/net/ipv4/ping_group_range");
    std::string low, high;
    if (!(file >> low >> high))
        return {};
    return low + " " + high;
}

} // namespace

bool IsPermissionError(int error) {
    return error == EACCES || error == EPERM;
}

SocketAttempt OpenPingSocket(SocketCalls& calls) {
    const int fd = calls.openSocket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return {-1, errno};
    // Every kernel with ping sockets takes the option; should one refuse
    // it, replies still come and only errors wait out the time-out.
    const int on = 1;
    calls.setOption(fd, SOL_IP, IP_RECVERR, &on, sizeof on);
    return {fd, 0};
}

SocketAttempt OpenRawSocket(SocketCalls& calls) {
    const int fd = calls.openSocket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    return {fd, fd < 0 ? errno : 0};
}

std::string PingSocketProblem(int error) {
    if (IsPermissionError(error)) {
        const std::string range = pingGroupRange();
        return range.empty() ? text::kPingSocketsNotAllowed
                             : text::WithArguments(text::kPingSocketsNotAllowedInRange, {range});
    }
    if (error == EPROTONOSUPPORT || error == EAFNOSUPPORT || error == ESOCKTNOSUPPORT)
        return text::kNoPingSockets;
    if (error == EMFILE || error == ENFILE)
        return text::kTooManyFilesForSocket;
    if (error == ENOBUFS || error == ENOMEM)
        return text::kNoMemoryForSocket;
    return text::WithArguments(text::kPingSocketRefused, {std::strerror(error)});
}

} // namespace tobrik::net::linux_net
