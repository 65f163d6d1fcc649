// The raw socket's receive buffer, ICMP type filter and locked identifier
// filter.

#include "linux/echo-helper/RawSocketFilter.h"

#include "IcmpPacket.h"

#include <linux/filter.h>
#include <linux/icmp.h>
#include <netinet/in.h>

namespace tobrik::net::linux_net {

namespace {

// ICMP types 0..31 have a bit each in the kernel's type filter.
constexpr std::uint8_t kFilteredTypes = 32;

bool filterTypes(SocketCalls& calls, int fd) {
    icmp_filter types{};
    types.data = ~0u; // a set bit drops the type
    for (std::uint8_t type = 0; type < kFilteredTypes; ++type)
        if (CanAnswerEcho(type))
            types.data &= ~(1u << type);
    return calls.setOption(fd, SOL_RAW, ICMP_FILTER, &types, sizeof types) == 0;
}

bool filterIdentifier(SocketCalls& calls, int fd, std::uint16_t identifier) {
    // The packet starts with the IPv4 header; X takes its length.
    sock_filter code[] = {
        BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),
        BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0),                     // ICMP type
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_ECHOREPLY, 0, 2), // no reply: keep
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4),                     // identifier
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, identifier, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0xFFFFFFFFu), // keep the whole packet
        BPF_STMT(BPF_RET | BPF_K, 0),           // drop it
    };
    sock_fprog program{static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
    const int on = 1;
    return calls.setOption(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0 &&
           calls.setOption(fd, SOL_SOCKET, SO_LOCK_FILTER, &on, sizeof on) == 0;
}

} // namespace

bool NarrowRawSocket(SocketCalls& calls, int fd, std::uint16_t identifier) {
    return filterTypes(calls, fd) && filterIdentifier(calls, fd, identifier) &&
           calls.setOption(fd, SOL_SOCKET, SO_RCVBUF, &kRawReceiveBuffer,
                           sizeof kRawReceiveBuffer) == 0;
}

} // namespace tobrik::net::linux_net
