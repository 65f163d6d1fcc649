#pragma once
// Conversion between the program's UTF-8 text and the system's 8-bit code
// page: the ANSI code page on Windows, UTF-8 itself elsewhere.

#include <string>

namespace tobrik::text {

std::string ToSystemCodePage(const std::string& utf8);
std::string FromSystemCodePage(const std::string& bytes);

#ifdef _WIN32
// UTF-8 to and from the UTF-16 of the wide Windows calls.
std::wstring Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const std::wstring& wide);
#endif

} // namespace tobrik::text
