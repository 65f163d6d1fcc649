// Choosing between the ping socket and the echo helper, and saying why
// neither serves.

#include "linux/EchoService.h"

#include "EchoData.h"
#include "IcmpPacket.h"
#include "TextArguments.h"
#include "UserTexts.h"
#include "linux/EchoExchange.h"
#include "linux/HelperProtocol.h"
#include "linux/OpenIcmpSocket.h"

#include <chrono>
#include <cstring>
#include <utility>

namespace tobrik::net::linux_net {

EchoService::EchoService(SocketCalls& calls, std::string helperPath)
    : calls_(calls), helperPath_(std::move(helperPath)) {}

bool EchoService::ready() {
    std::lock_guard lock(mutex_);
    return readyLocked();
}

bool EchoService::readyLocked() {
    const bool hadSocket = !ping_.empty();
    if (ping_.usable() >= 0)
        return true;
    if (hadSocket) // closed or replaced behind the program's back
        socketLost(EBADF);
    if (!helper_) {
        const SocketAttempt ping = OpenPingSocket(calls_);
        ping_ = OwnedSocket(ping.fd, calls_);
        pingError_ = ping.error;
        if (ping_.empty())
            helper_ = std::make_unique<EchoHelperClient>(helperPath_, calls_);
    }
    const bool ready = !ping_.empty() || helper_->serving();
    if (replacing_)
        problem_ += ready ? (helper_ ? text::kGoingOnThroughHelper : text::kGoingOnThroughNewSocket)
                          : text::kNoReplacement + unavailableReason();
    else if (!ready)
        problem_ = unavailableReason();
    replacing_ = false;
    return ready;
}

std::int32_t EchoService::echo(std::uint32_t addr, const std::string& payload, std::uint8_t* area,
                               std::size_t size, std::uint32_t timeoutMs) {
    std::lock_guard lock(mutex_);
    // Every member of a group would answer, and none from the group's
    // address: whichever path serves, such a request is not sent.
    if (IsRefusedEchoDestination(addr)) {
        problem_ = text::kEchoGroupRefused;
        return -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::int32_t status = -1;
    // Should the ping socket fail for good under the request, the request
    // goes once more through what takes its place, within its time.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!readyLocked())
            return status;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (attempt > 0 && left <= 0)
            return status;
        const auto wait = attempt == 0 ? timeoutMs : static_cast<std::uint32_t>(left);
        if (helper_)
            return throughHelper(addr, payload, area, size, wait);
        const auto result = ExchangeEcho(ping_.usable(), IcmpSocketKind::Datagram, calls_, addr,
                                         payload, area, size, wait);
        if (result.socketError == 0)
            return result.status;
        ping_.close();
        socketLost(result.socketError);
        status = result.status;
    }
    return status;
}

std::int32_t EchoService::throughHelper(std::uint32_t addr, const std::string& payload,
                                        std::uint8_t* area, std::size_t size,
                                        std::uint32_t timeoutMs) {
    if (payload != kEchoData) {
        problem_ = text::kHelperDataOnly;
        return -1;
    }
    const std::int32_t status = helper_->echo(addr, area, size, timeoutMs);
    if (!helper_->serving())
        problem_ = unavailableReason();
    return status;
}

void EchoService::socketLost(int error) {
    problem_ = text::WithArguments(text::kPingSocketFailed, {std::strerror(error)});
    replacing_ = true;
}

std::string EchoService::takeProblem() {
    std::lock_guard lock(mutex_);
    return std::exchange(problem_, {});
}

// Why neither a ping socket nor the helper serves, and what would allow
// each: a wider ping group range where the ping socket was refused for
// permission, setcap where the helper lacks its capability.
std::string EchoService::unavailableReason() const {
    const bool groupDenied = IsPermissionError(pingError_);
    const bool helperDenied = helper_ && helper_->denied();
    std::string reason =
        groupDenied || helperDenied ? text::kEchoNotPermitted : text::kNoIcmpSocket;
    reason += PingSocketProblem(pingError_);
    if (helper_)
        reason += helper_->problem();
    const std::string widenRange = "sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"";
    const std::string grantRaw = helperDenied ? "setcap cap_net_raw+p " + helper_->path() : "";
    if (groupDenied && helperDenied)
        reason += text::WithArguments(text::kAllowByEither, {widenRange, grantRaw});
    else if (groupDenied)
        reason += text::WithArguments(text::kAllowByGroupRange, {widenRange});
    else if (helperDenied)
        reason += text::WithArguments(text::kAllowByCapability, {grantRaw});
    return reason;
}

} // namespace tobrik::net::linux_net
