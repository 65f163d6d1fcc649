// Splitting the local address into the four start octets.

#include "OctetSplit.h"

namespace tobrik::app {

std::array<std::string, 4> SplitOctets(const std::string& caption) {
    std::array<std::string, 4> parts;
    std::size_t begin = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        const auto dot = caption.find('.', begin);
        if (dot == std::string::npos)
            return {};
        parts[i] = caption.substr(begin, dot - begin);
        begin = dot + 1;
    }
    parts[3] = caption.substr(begin);
    return parts;
}

} // namespace tobrik::app
