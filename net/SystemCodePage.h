#pragma once
// Conversion between the program's UTF-8 text and the system's 8-bit code
// page: the ANSI code page on Windows, UTF-8 itself elsewhere.

#include <string>

namespace tobrik::net {

std::string ToSystemCodePage(const std::string& utf8);
std::string FromSystemCodePage(const std::string& bytes);

} // namespace tobrik::net
