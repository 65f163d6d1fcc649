#pragma once
// The echo reply record that a probe hands to the echo service: the 28-byte
// reply header followed by a 250-byte data area, 278 bytes in all.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tobrik::net {

inline constexpr std::size_t kEchoReplyHeaderSize = 28;
inline constexpr std::size_t kEchoReplyDataSize = 250;
inline constexpr std::size_t kEchoReplyAreaSize = kEchoReplyHeaderSize + kEchoReplyDataSize;

// Byte offsets of the header fields that this program writes or reads.
inline constexpr std::size_t kReplyAddressOffset = 0;
inline constexpr std::size_t kReplyStatusOffset = 4;
inline constexpr std::size_t kReplyRoundTripOffset = 8;
inline constexpr std::size_t kReplyDataSizeOffset = 12;

struct EchoReplyRecord {
    std::array<std::uint8_t, kEchoReplyAreaSize> area{};

    std::int32_t Status() const { return readField<std::int32_t>(kReplyStatusOffset); }
    void setStatus(std::int32_t status) { writeField(kReplyStatusOffset, status); }

    template <typename T> T readField(std::size_t offset) const {
        T value;
        std::memcpy(&value, area.data() + offset, sizeof value);
        return value;
    }
    template <typename T> void writeField(std::size_t offset, T value) {
        std::memcpy(area.data() + offset, &value, sizeof value);
    }
};

} // namespace tobrik::net
