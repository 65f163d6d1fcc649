#pragma once
// Filling the places %1 to %9 of a text of UserTexts.h, where the word
// order of a Japanese sentence puts a path or a system's reason.

#include <initializer_list>
#include <string>
#include <string_view>

namespace tobrik::text {

// pattern with each %n replaced by the n-th of values; a %n without a
// value, and any other %, stay as they are.
std::string WithArguments(std::string_view pattern, std::initializer_list<std::string_view> values);

} // namespace tobrik::text
