#pragma once
// Range validation of the octet boxes before a sweep starts. Works on the
// box texts alone: the four start boxes in order, then the end octet.

#include <array>
#include <string>

namespace tobrik::app {

struct RangeVerdict {
    enum class Kind { Accepted, StartRefused, EndRefused };
    Kind kind = Kind::Accepted;
    int refusedBox = -1; // index of the refused start box, for StartRefused

    bool accepted() const { return kind == Kind::Accepted; }
};

RangeVerdict ValidateRange(const std::array<std::string, 4>& startBoxes,
                           const std::string& endOctet);

} // namespace tobrik::app
