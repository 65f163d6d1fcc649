// Whether the octet boxes give a range a sweep may run over.

#include "RangeValidation.h"

#include "NumericText.h"

namespace tobrik::app {

namespace {

constexpr int kHighestOctet = 255;

bool isOctetText(const std::string& text, int lowest) {
    if (!IsNumeric(text))
        return false;
    const auto value = NumericValue(text);
    return value >= lowest && value <= kHighestOctet;
}

} // namespace

RangeVerdict ValidateRange(const std::array<std::string, 4>& startBoxes,
                           const std::string& endOctet) {
    using Kind = RangeVerdict::Kind;
    for (int i = 0; i < 4; ++i) {
        // Only the start's last octet must be at least 1.
        const int lowest = i == 3 ? 1 : 0;
        if (!isOctetText(startBoxes[static_cast<std::size_t>(i)], lowest))
            return {Kind::StartRefused, i};
    }
    const auto start = NumericValue(startBoxes[3]);
    if (!isOctetText(endOctet, 1) || NumericValue(endOctet) < start)
        return {Kind::EndRefused, -1};
    return {Kind::Accepted, -1};
}

} // namespace tobrik::app
