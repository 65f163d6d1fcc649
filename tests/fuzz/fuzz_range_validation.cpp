// Range validation on arbitrary box texts: the input is split at the first
// four NUL bytes into the four start boxes and the end box. An accepted
// range has four octets 0..255 (the last 1..255) and an end octet between
// the start's last octet and 255; a refused one names the first bad box.

#include "FuzzCheck.h"
#include "NumericText.h"
#include "RangeValidation.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

using namespace tobrik::app;

namespace {

bool octet(const std::string& text, int lowest) {
    return IsNumeric(text) && NumericValue(text) >= lowest && NumericValue(text) <= 255;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::array<std::string, 5> boxes;
    std::size_t box = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && box < 4)
            ++box;
        else
            boxes[box] += static_cast<char>(data[i]);
    }
    const std::array<std::string, 4> start{boxes[0], boxes[1], boxes[2], boxes[3]};
    const RangeVerdict verdict = ValidateRange(start, boxes[4]);

    int firstBad = -1;
    for (int i = 0; i < 4 && firstBad < 0; ++i)
        if (!octet(start[static_cast<std::size_t>(i)], i == 3 ? 1 : 0))
            firstBad = i;
    const bool endGood = octet(boxes[4], 1) && NumericValue(boxes[4]) >= NumericValue(start[3]);

    using Kind = RangeVerdict::Kind;
    if (firstBad >= 0) {
        FUZZ_CHECK(verdict.kind == Kind::StartRefused);
        FUZZ_CHECK(verdict.refusedBox == firstBad);
    } else if (!endGood) {
        FUZZ_CHECK(verdict.kind == Kind::EndRefused);
    } else {
        FUZZ_CHECK(verdict.accepted());
        // The sweep runs from the start's last octet to the end octet: at
        // most 255 addresses, all of them octets.
        const auto first = NumericValue(start[3]);
        const auto last = NumericValue(boxes[4]);
        FUZZ_CHECK(first >= 1 && first <= last && last <= 255);
    }
    FUZZ_CHECK(verdict.accepted() == (verdict.kind == Kind::Accepted));
    return 0;
}
