// Filling the places of a text in one pass, so that a value that itself
// holds "%2" is not filled in again.

#include "TextArguments.h"

namespace tobrik::text {

std::string WithArguments(std::string_view pattern,
                          std::initializer_list<std::string_view> values) {
    std::string text;
    text.reserve(pattern.size());
    for (std::size_t at = 0; at < pattern.size(); ++at) {
        const char next = at + 1 < pattern.size() ? pattern[at + 1] : '\0';
        const auto index = static_cast<std::size_t>(next - '1');
        if (pattern[at] == '%' && next >= '1' && next <= '9' && index < values.size()) {
            text += values.begin()[index];
            ++at;
        } else {
            text += pattern[at];
        }
    }
    return text;
}

} // namespace tobrik::text
