// Splitting the local address caption on arbitrary bytes: with three or
// more "." the parts joined by "." give the caption back and the first
// three hold no "."; with fewer, all four parts are empty.

#include "FuzzCheck.h"
#include "OctetSplit.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

using namespace tobrik::app;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string caption(reinterpret_cast<const char*>(data), size);
    const auto parts = SplitOctets(caption);
    const auto dots = std::count(caption.begin(), caption.end(), '.');
    if (dots < 3) {
        for (const auto& part : parts)
            FUZZ_CHECK(part.empty());
        return 0;
    }
    for (std::size_t i = 0; i < 3; ++i)
        FUZZ_CHECK(parts[i].find('.') == std::string::npos);
    FUZZ_CHECK(parts[0] + "." + parts[1] + "." + parts[2] + "." + parts[3] == caption);
    return 0;
}
