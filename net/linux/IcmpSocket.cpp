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

// Why neither socket could be opened, and what would allow each: a wider
// ping group range only where the datagram socket was refused for
// permission, the capability only where the raw socket was.
std::string unavailableReason(int datagramError, int rawError) {
    const bool groupDenied = isPermissionError(datagramError);
    const bool rawDenied = isPermissionError(rawError);
    std::string reason = groupDenied || rawDenied
                             ? "Sending ICMP echo requests is not permitted for this program. "
                             : "No ICMP socket could be opened. ";
    reason += datagramProblem(datagramError) + " " + rawProblem(rawError);
    if (groupDenied)
        reason += " To allow it, widen the ping group range, e.g. "
                  "sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"";
    if (rawDenied)
        reason += std::string(groupDenied ? ", or" : " To allow it,") +
                  " grant the program raw sockets with setcap cap_net_raw+ep " + executablePath();
    if (groupDenied || rawDenied)
        reason += ".";
    return reason;
}

} // namespace

IcmpSocket OpenIcmpSocket(SocketCalls& calls) {
    IcmpSocket result;
    int datagramError = 0;
    const int datagram = calls.openSocket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (datagram >= 0) {
        // ICMP errors reach a datagram socket only through its error queue.
        // Without it an unreachable host would wait out the whole time-out
        // as if silent, so a socket that refuses the option is used only
        // when the raw socket cannot be had: replies still reach it.
        const int on = 1;
        if (calls.setOption(datagram, SOL_IP, IP_RECVERR, &on, sizeof on) == 0) {
            result.fd = datagram;
            result.kind = IcmpSocketKind::Datagram;
            return result;
        }
    } else {
        datagramError = errno;
    }
    const int raw = calls.openSocket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (raw >= 0) {
        if (datagram >= 0)
            calls.closeSocket(datagram);
        result.fd = raw;
        result.kind = IcmpSocketKind::Raw;
    } else if (datagram >= 0) {
        result.fd = datagram;
        result.kind = IcmpSocketKind::Datagram;
    } else {
        result.problem = unavailableReason(datagramError, errno);
    }
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
