// The echo helper's request reader on arbitrary bytes, as any local user
// may write them to its channel, and the window's reader of its answers.
//
// A request is accepted exactly when it is 16 bytes carrying the request
// tag, an address other than 255.255.255.255 and a time-out of 1 to
// kHelperTimeoutLimitMs; what is accepted writes back to the same bytes.
// An answer is accepted only at its exact size with its tag and a known
// state, and writes back to the same bytes but for the flag's padding.

#include "FuzzCheck.h"
#include "linux/HelperProtocol.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

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

void checkAnswer(const std::uint8_t* data, std::size_t size) {
    const auto answer = DecodeAnswer(data, size);
    if (size != kAnswerSize || u32(data) != 0x54424541) {
        FUZZ_CHECK(!answer);
        return;
    }
    if (!answer)
        return;
    const AnswerBytes again = EncodeAnswer(*answer);
    FUZZ_CHECK(std::memcmp(again.data(), data, 20) == 0);
    FUZZ_CHECK(std::memcmp(again.data() + 24, data + 24, kAnswerSize - 24) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A buffer of exactly the input's length, so that AddressSanitizer
    // reports any read past its end.
    auto copy = std::make_unique<std::uint8_t[]>(size ? size : 1);
    if (size)
        std::memcpy(copy.get(), data, size);
    checkRequest(copy.get(), size);
    checkAnswer(copy.get(), size);
    FUZZ_CHECK(!DecodeRequest(nullptr, size));
    return 0;
}
