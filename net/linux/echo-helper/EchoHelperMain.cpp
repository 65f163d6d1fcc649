// tobrik-echo: the one part of Tobrik that holds a privilege. The file
// capability cap_net_raw+p permits it the raw ICMP socket; it raises the
// capability only to open that socket, then clears every capability,
// narrows the socket, and serves echo requests from the window that
// started it over the SOCK_SEQPACKET socket on its standard input, at no
// more than the pace of RequestPacing.h and to no multicast or reserved
// address. It loads no user code: libc and libcap only (the C++ runtime is
// linked in), no locale, no resolver.

#include "EchoData.h"
#include "IcmpPacket.h"
#include "UserTexts.h"
#include "linux/EchoExchange.h"
#include "linux/HelperProtocol.h"
#include "linux/OpenIcmpSocket.h"
#include "linux/echo-helper/Capabilities.h"
#include "linux/echo-helper/RawSocketFilter.h"
#include "linux/echo-helper/RequestPacing.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sched.h>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace tobrik::net::linux_net;

constexpr int kChannel = STDIN_FILENO;

// True when standard input is the kind of socket the window hands over: a
// local SOCK_SEQPACKET socket (another family's, SCTP's, could reach
// another machine).
bool isChannel() {
    int domain = 0, type = 0;
    socklen_t domainLength = sizeof domain, typeLength = sizeof type;
    return getsockopt(kChannel, SOL_SOCKET, SO_DOMAIN, &domain, &domainLength) == 0 &&
           domain == AF_UNIX &&
           getsockopt(kChannel, SOL_SOCKET, SO_TYPE, &type, &typeLength) == 0 &&
           type == SOCK_SEQPACKET;
}

bool tell(const HelperAnswer& answer) {
    const AnswerBytes bytes = EncodeAnswer(answer);
    ssize_t sent;
    do
        sent = send(kChannel, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(bytes.size());
}

bool greet(HelperState state, int error) {
    HelperAnswer greeting;
    greeting.state = state;
    greeting.error = error;
    return tell(greeting);
}

// Closes every descriptor but the channel and the standard streams: all at
// once, or where close_range is refused (an older kernel, a sandbox) one by
// one as /proc lists them. False when neither could be done.
bool closeInheritedDescriptors() {
    if (close_range(STDERR_FILENO + 1, ~0U, 0) == 0)
        return true;
    DIR* listing = opendir("/proc/self/fd");
    if (listing == nullptr)
        return false;
    while (const dirent* entry = readdir(listing)) {
        const int fd = std::atoi(entry->d_name); // 0 for "." and ".."
        if (fd > STDERR_FILENO && fd != dirfd(listing))
            close(fd);
    }
    return closedir(listing) == 0;
}

// The answer to one message from the channel; a malformed one, or one for a
// refused destination, sends nothing.
HelperAnswer answer(int raw, RequestPacing& pacing, const std::uint8_t* bytes, std::size_t length) {
    HelperAnswer answer;
    const auto request = DecodeRequest(bytes, length);
    if (!request) {
        answer.state = HelperState::RequestRefused;
        return answer;
    }
    answer.serial = request->serial;
    if (tobrik::net::IsRefusedEchoDestination(request->address)) {
        answer.state = HelperState::DestinationRefused;
        return answer;
    }
    AwaitPace(pacing);
    const auto result = ExchangeEcho(raw, IcmpSocketKind::Raw, systemSocketCalls(),
                                     request->address, tobrik::net::kEchoData, answer.record.data(),
                                     answer.record.size(), request->timeoutMs);
    answer.status = result.status;
    answer.recorded = result.recorded;
    if (result.socketError != 0) {
        answer.state = HelperState::SocketFailed;
        answer.error = result.socketError;
    }
    return answer;
}

// The next message from the window. For kHelperAwakeWait after an answer it looks
// without sleeping: in a sweep the next request usually comes within that,
// and a processor woken from idle would add tens of microseconds to it.
ssize_t nextMessage(std::uint8_t* bytes, std::size_t size) {
    constexpr auto kHelperAwakeWait = std::chrono::microseconds(300);
    const auto awakeUntil = std::chrono::steady_clock::now() + kHelperAwakeWait;
    for (;;) {
        const bool awake = std::chrono::steady_clock::now() < awakeUntil;
        const ssize_t length = recv(kChannel, bytes, size, awake ? MSG_DONTWAIT : 0);
        const bool again = errno == EINTR || (awake && (errno == EAGAIN || errno == EWOULDBLOCK));
        if (length >= 0 || !again)
            return length;
        sched_yield(); // the window may be waiting for this processor
    }
}

// Answers requests until the window closes the channel or ends (0), or the
// channel or the raw socket fails (1).
int serve(int raw) {
    RequestPacing pacing(std::chrono::steady_clock::now());
    for (;;) {
        // One byte more than a request: a longer message reads as malformed.
        std::uint8_t bytes[kRequestSize + 1];
        const ssize_t length = nextMessage(bytes, sizeof bytes);
        if (length == 0)
            return 0;
        if (length < 0)
            return 1;
        const HelperAnswer reply = answer(raw, pacing, bytes, static_cast<std::size_t>(length));
        if (!tell(reply) || reply.state == HelperState::SocketFailed)
            return 1;
    }
}

} // namespace

int main() {
    // Ends with the thread that started it, should the channel's end not
    // reach it first (a request in progress).
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (!isChannel()) {
        std::fputs(tobrik::text::kEchoHelperByHand, stderr);
        return 2; // the exit status of a wrong use, as for a command-line error
    }
    // Nothing but the channel and the standard streams comes along from
    // whoever started it.
    if (!closeInheritedDescriptors())
        return greet(HelperState::DescriptorsKept, errno), 1;
    // The capability is effective for socket() alone. Where it is not
    // permitted, socket() refuses, and the greeting says so.
    RaiseNetRaw();
    const SocketAttempt raw = OpenRawSocket(systemSocketCalls());
    if (!ClearAllCapabilities().empty())
        return greet(HelperState::CapabilitiesKept, 0), 1;
    if (raw.fd < 0)
        return greet(HelperState::NoRawSocket, raw.error), 1;
    if (!NarrowRawSocket(systemSocketCalls(), raw.fd, EchoIdentifier()))
        return greet(HelperState::NotNarrowed, errno), 1;
    if (!greet(HelperState::Ready, 0))
        return 1;
    return serve(raw.fd);
}
