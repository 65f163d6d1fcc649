#pragma once
// Giving up every capability of the process, through libcap.

#include <string>

namespace tobrik::net::linux_net {

// Clears the effective, permitted, inheritable and ambient sets and reads
// them back: "" when none is left, otherwise what went wrong, in words.
std::string ClearAllCapabilities();

} // namespace tobrik::net::linux_net
