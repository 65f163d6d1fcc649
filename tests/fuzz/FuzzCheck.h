#pragma once
// A property check for fuzz targets: a violated property aborts, so that
// libFuzzer keeps the input that broke it. ExactCopy: the bytes in a buffer
// of exactly their length, so that AddressSanitizer reports a read past it.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "property violated: %s (%s:%d)\n", #condition, __FILE__,          \
                         __LINE__);                                                                \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

inline std::unique_ptr<std::uint8_t[]> ExactCopy(const std::uint8_t* data, std::size_t size) {
    auto copy = std::make_unique<std::uint8_t[]>(size ? size : 1);
    if (size)
        std::memcpy(copy.get(), data, size);
    return copy;
}
