// The numeric rule of the octet boxes on arbitrary bytes: numeric exactly
// for one or more ASCII digits, and the value is the decimal value
// saturated at INT32_MAX (0 for every other text).

#include "FuzzCheck.h"
#include "NumericText.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

using namespace tobrik::app;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    bool allDigits = !text.empty();
    long double value = 0; // a second computation that cannot overflow
    for (unsigned char c : text) {
        if (c < '0' || c > '9')
            allDigits = false;
        else if (value <= 1e12L)
            value = value * 10 + (c - '0');
    }
    FUZZ_CHECK(IsNumeric(text) == allDigits);
    const std::int32_t numeric = NumericValue(text);
    if (!allDigits) {
        FUZZ_CHECK(numeric == 0);
        return 0;
    }
    constexpr auto limit = std::numeric_limits<std::int32_t>::max();
    FUZZ_CHECK(numeric >= 0);
    if (value >= static_cast<long double>(limit))
        FUZZ_CHECK(numeric == limit);
    else
        FUZZ_CHECK(static_cast<long double>(numeric) == value);
    return 0;
}
