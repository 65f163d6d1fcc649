#pragma once
// One echo request through PingHost, timed on the monotonic clock, with the
// payload the sweep sends.

#include "mdlKorvantiser.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace tobrik::test {

inline const std::string kEchoPayload = "Korvantis";

struct Probe {
    std::int32_t result;
    std::chrono::steady_clock::duration elapsed;
};

inline Probe ping(const std::string& address, mdlKorvantiser::EchoReplyRecord& record) {
    const auto start = std::chrono::steady_clock::now();
    const auto result = mdlKorvantiser::PingHost(address, kEchoPayload, record);
    return {result, std::chrono::steady_clock::now() - start};
}

} // namespace tobrik::test
