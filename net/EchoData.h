#pragma once
// The data that every echo request carries: the sweep hands it to PingHost,
// and the echo helper sends it and nothing else, never bytes its client
// wrote.

namespace tobrik::net {

inline constexpr const char* kEchoData = "Korvantis";

} // namespace tobrik::net
