#pragma once
// The process's capabilities, through libcap: whether it holds the one the
// raw ICMP socket needs, and giving up all of them.

#include <string>

namespace tobrik::net::linux_net {

// True when CAP_NET_RAW is in the process's effective set.
bool HoldsNetRaw();

// Clears the effective, permitted, inheritable and ambient sets and reads
// them back: "" when none is left, otherwise what went wrong, in words.
std::string ClearAllCapabilities();

} // namespace tobrik::net::linux_net
