#pragma once
// Splitting the local address caption into the four start octets.

#include <array>
#include <string>

namespace tobrik::app {

// The parts of caption before the first, second and third "." and the rest
// after the third: "192.168.10.5" gives 192, 168, 10 and 5, and any text
// after a fourth "." stays in the last part. A caption with fewer than three
// "." (the empty local address among them) gives four empty texts.
std::array<std::string, 4> SplitOctets(const std::string& caption);

} // namespace tobrik::app
