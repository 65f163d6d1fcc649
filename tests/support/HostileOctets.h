#pragma once
// Text that no octet box may take for a number, as UTF-8: very long texts,
// full-width and other non-ASCII digits, signs, blanks, control characters
// and NULs.

#include <string>
#include <utility>
#include <vector>

namespace tobrik::test {

inline std::string Repeated(const std::string& text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i)
        result += text;
    return result;
}

inline std::vector<std::pair<const char*, std::string>> HostileOctets() {
    using namespace std::string_literals;
    return {
        {"100000 digits", std::string(100000, '9')},
        {"100000 letters", std::string(100000, 'x')},
        {"100000 full-width digits", Repeated("\xef\xbc\x91", 100000)},
        {"100000 NULs", std::string(100000, '\0')},
        // Cut after 32767 characters, this would read as the octet 0.
        {"letter after 32767 zeros", std::string(32767, '0') + "x"},
        {"full-width digits", "\xef\xbc\x91\xef\xbc\x92"},
        {"Arabic-Indic digit", "\xd9\xa1"},
        {"superscript one", "\xc2\xb9"},
        {"plus sign", "+1"},
        {"minus sign", "-1"},
        {"minus zero", "-0"},
        {"leading blank", " 1"},
        {"trailing blank", "1 "},
        {"ideographic space", "\xe3\x80\x80"
                              "1"},
        {"only blanks", "   "},
        {"tab", "\t1"},
        {"line break", "1\r\n"},
        {"escape", "\x1b"
                   "1"},
        {"delete", "1\x7f"},
        {"NUL after digit", "1\0"s},
        {"NUL between digits", "1\0"
                               "2"s},
        {"lone NUL", "\0"s},
        {"hexadecimal", "0x1"},
        {"exponent", "1e1"},
        {"decimal point", "1.0"},
        {"replacement character", "\xef\xbf\xbd"},
    };
}

} // namespace tobrik::test
