#include "linux/IcmpSocket.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <netinet/in.h>
#include <unistd.h>

namespace tobrik::net::linux_net {

namespace {

bool isPermissionError(int error) {
    return error == EACCES || error == EPERM;
}

std::string pingGroupRange() {
    std::ifstream file("/proc/sys/net/ipv4/ping_group_range");
    std::string low, high;
    if (!(file >> low >> high))
        return {};
    return low + " " + high;
}

std::string executablePath() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return "<program>";
    return std::string(path, static_cast<std::size_t>(length));
}

std::string datagramProblem(int error) {
    if (isPermissionError(error)) {
        std::string sentence = "Unprivileged ICMP sockets are not allowed for this user's groups";
        const std::string range = pingGroupRange();
        if (!range.empty())
            sentence += " (net.ipv4.ping_group_range is \"" + range + "\")";
        return sentence + ".";
    }
    if (error == EPROTONOSUPPORT || error == EAFNOSUPPORT || error == ESOCKTNOSUPPORT)
        return "This kernel offers no unprivileged ICMP sockets.";
    if (error == EMFILE || error == ENFILE)
        return "Too many files are open to create an ICMP socket.";
    if (error == ENOBUFS || error == ENOMEM)
        return "The system is out of memory for an ICMP socket.";
    return std::string("An unprivileged ICMP socket could not be created: ") +
           std::strerror(error) + ".";
}

std::string rawProblem(int error) {
    if (isPermissionError(error))
        return "Raw sockets need root or the CAP_NET_RAW capability, which this program lacks.";
    if (error == EMFILE || error == ENFILE)
        return "Too many files are open to create a raw socket.";
    if (error == ENOBUFS || error == ENOMEM)
        return "The system is out of memory for a raw socket.";
    return std::string("A raw ICMP socket could not be created: ") + std::strerror(error) + ".";
}

// datagramError is why no datagram socket was opened, or 0 when one was
// opened but refused IP_RECVERR (optionError).
std::string unavailableReason(int datagramError, int optionError, int rawError) {
    const bool denied = isPermissionError(datagramError) || isPermissionError(rawError);
    std::string reason = denied ? "Sending ICMP echo requests is not permitted for this program. "
                                : "No ICMP socket could be opened. ";
    if (datagramError != 0)
        reason += datagramProblem(datagramError);
    else
        reason += std::string("An unprivileged ICMP socket could not be told to report ICMP "
                              "errors (IP_RECVERR): ") +
                  std::strerror(optionError) + ".";
    reason += " " + rawProblem(rawError);
    if (denied)
        reason += " To allow it, widen the ping group range, e.g. "
                  "sysctl -w net.ipv4.ping_group_range=\"0 2147483647\", or grant the "
                  "program raw sockets with setcap cap_net_raw+ep " +
                  executablePath() + ".";
    return reason;
}

} // namespace

IcmpSocket OpenIcmpSocket(SocketCalls& calls) {
    IcmpSocket result;
    int datagramError = 0;
    int optionError = 0;
    int fd = calls.openSocket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
        // ICMP errors reach a datagram socket only through its error queue.
        // Without it an unreachable host would wait out the whole time-out
        // as if silent, so a socket that refuses the option is not used.
        const int on = 1;
        if (calls.setOption(fd, SOL_IP, IP_RECVERR, &on, sizeof on) == 0) {
            result.fd = fd;
            result.kind = IcmpSocketKind::Datagram;
            return result;
        }
        optionError = errno;
        calls.closeSocket(fd);
    } else {
        datagramError = errno;
    }
    fd = calls.openSocket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
        result.fd = fd;
        result.kind = IcmpSocketKind::Raw;
        return result;
    }
    result.problem = unavailableReason(datagramError, optionError, errno);
    return result;
}

IcmpSocketKind AvailableIcmpSocketKind() {
    const IcmpSocket socket = OpenIcmpSocket(systemSocketCalls());
    if (socket.fd >= 0)
        systemSocketCalls().closeSocket(socket.fd);
    return socket.kind;
}

const char* IcmpSocketKindName(IcmpSocketKind kind) {
    switch (kind) {
    case IcmpSocketKind::Datagram:
        return "datagram";
    case IcmpSocketKind::Raw:
        return "raw";
    case IcmpSocketKind::None:
        break;
    }
    return "none";
}

} // namespace tobrik::net::linux_net
