#pragma once
// The numeric rule of the octet boxes: a text is numeric when it is one or
// more ASCII digits and nothing else. Its value is its decimal value, any
// leading zeros included; values beyond 32 bits saturate, so they are out of
// every octet range without overflowing.

#include <cstdint>
#include <string_view>

namespace tobrik::app {

bool IsNumeric(std::string_view text);

// The value of a numeric text, saturated at INT32_MAX; 0 for any other text.
std::int32_t NumericValue(std::string_view text);

} // namespace tobrik::app
