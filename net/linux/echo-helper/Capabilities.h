#pragma once
// Raising the one capability of the echo helper for a moment, and giving
// up every capability of the process, through libcap.

#include <string>

namespace tobrik::net::linux_net {

// Raises CAP_NET_RAW into the effective set from the permitted set, where
// the file capability cap_net_raw+p puts it at exec; false when it is not
// permitted. (A file marked +ep, as before, has it effective already.)
bool RaiseNetRaw();

// Clears the effective, permitted, inheritable and ambient sets and reads
// them back: "" when none is left, otherwise what went wrong, in words.
std::string ClearAllCapabilities();

} // namespace tobrik::net::linux_net
