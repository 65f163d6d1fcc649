// The numeric rule of the octet boxes and the value of a numeric text.

#include "NumericText.h"

#include <limits>

namespace tobrik::app {

bool IsNumeric(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::int32_t NumericValue(std::string_view text) {
    if (!IsNumeric(text))
        return 0;
    constexpr std::int64_t limit = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (char c : text) {
        value = value * 10 + (c - '0');
        if (value > limit)
            return static_cast<std::int32_t>(limit);
    }
    return static_cast<std::int32_t>(value);
}

} // namespace tobrik::app
