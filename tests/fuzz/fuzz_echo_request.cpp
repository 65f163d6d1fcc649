// The echo helper's request reader on arbitrary bytes, as any local user
// may write them to its channel. A request is accepted exactly when it is
// 16 bytes carrying the request tag, an address other than 255.255.255.255
// and a time-out of 1 to kHelperTimeoutLimitMs; what is accepted writes
// back to the same bytes.

#include "FuzzCheck.h"
#include "linux/HelperProtocol.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace tobrik::net::linux_net;

namespace {

std::uint32_t u32(const std::uint8_t* p) {
    std::uint32_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

void checkRequest(const std::uint8_t* data, std::size_t size) {
    const auto request = DecodeRequest(data, size);
    const bool wellFormed = size == kRequestSize && u32(data) == 0x54424551 &&
                            u32(data + 8) != 0xFFFFFFFF && u32(data + 12) >= 1 &&
                            u32(data + 12) <= kHelperTimeoutLimitMs;
    FUZZ_CHECK(request.has_value() == wellFormed);
    if (request) {
        const RequestBytes again = EncodeRequest(*request);
        FUZZ_CHECK(std::memcmp(again.data(), data, kRequestSize) == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkRequest(ExactCopy(data, size).get(), size);
    FUZZ_CHECK(!DecodeRequest(nullptr, size));
    return 0;
}
