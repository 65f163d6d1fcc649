#pragma once
// Outcome codes of one echo request, numbered as the Windows echo service
// numbers them, so that every build reports the same values.

#include <cstdint>

namespace tobrik::net::IpStatus {

inline constexpr std::int32_t Success = 0;
inline constexpr std::int32_t BufferTooSmall = 11001;
inline constexpr std::int32_t DestNetUnreachable = 11002;
inline constexpr std::int32_t DestHostUnreachable = 11003;
inline constexpr std::int32_t DestProhibited = 11004;
inline constexpr std::int32_t DestPortUnreachable = 11005;
inline constexpr std::int32_t NoResources = 11006;
inline constexpr std::int32_t PacketTooBig = 11009;
inline constexpr std::int32_t RequestTimedOut = 11010;
inline constexpr std::int32_t TtlExpiredTransit = 11013;
inline constexpr std::int32_t TtlExpiredReassembly = 11014;
inline constexpr std::int32_t ParameterProblem = 11015;
inline constexpr std::int32_t SourceQuench = 11016;
inline constexpr std::int32_t GeneralFailure = 11050;

} // namespace tobrik::net::IpStatus
