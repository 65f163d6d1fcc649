// Writing and reading the echo helper's requests and answers.

#include "linux/HelperProtocol.h"

#include <cstring>

namespace tobrik::net::linux_net {

namespace {

// The first field of every message, so that stray bytes are not taken for one.
constexpr std::uint32_t kRequestTag = 0x54424551; // "TBEQ"
constexpr std::uint32_t kAnswerTag = 0x54424541;  // "TBEA"
constexpr std::uint32_t kLimitedBroadcast = 0xFFFFFFFF;

template <typename T> void put(std::uint8_t* bytes, std::size_t& at, T value) {
    std::memcpy(bytes + at, &value, sizeof value);
    at += sizeof value;
}

template <typename T> T take(const std::uint8_t* bytes, std::size_t& at) {
    T value;
    std::memcpy(&value, bytes + at, sizeof value);
    at += sizeof value;
    return value;
}

bool knownState(std::int32_t state) {
    return state >= static_cast<std::int32_t>(HelperState::Ready) &&
           state <= static_cast<std::int32_t>(HelperState::DestinationRefused);
}

} // namespace

RequestBytes EncodeRequest(const EchoRequest& request) {
    RequestBytes bytes{};
    std::size_t at = 0;
    put(bytes.data(), at, kRequestTag);
    put(bytes.data(), at, request.serial);
    put(bytes.data(), at, request.address);
    put(bytes.data(), at, request.timeoutMs);
    return bytes;
}

std::optional<EchoRequest> DecodeRequest(const std::uint8_t* bytes, std::size_t length) {
    if (bytes == nullptr || length != kRequestSize)
        return std::nullopt;
    std::size_t at = 0;
    if (take<std::uint32_t>(bytes, at) != kRequestTag)
        return std::nullopt;
    EchoRequest request;
    request.serial = take<std::uint32_t>(bytes, at);
    request.address = take<std::uint32_t>(bytes, at);
    request.timeoutMs = take<std::uint32_t>(bytes, at);
    if (request.address == kLimitedBroadcast || request.timeoutMs == 0 ||
        request.timeoutMs > kHelperTimeoutLimitMs)
        return std::nullopt;
    return request;
}

AnswerBytes EncodeAnswer(const HelperAnswer& answer) {
    AnswerBytes bytes{};
    std::size_t at = 0;
    put(bytes.data(), at, kAnswerTag);
    put(bytes.data(), at, static_cast<std::int32_t>(answer.state));
    put(bytes.data(), at, answer.serial);
    put(bytes.data(), at, answer.error);
    put(bytes.data(), at, answer.status);
    put(bytes.data(), at, static_cast<std::uint32_t>(answer.recorded));
    std::memcpy(bytes.data() + at, answer.record.data(), answer.record.size());
    return bytes;
}

std::optional<HelperAnswer> DecodeAnswer(const std::uint8_t* bytes, std::size_t length) {
    if (bytes == nullptr || length != kAnswerSize)
        return std::nullopt;
    std::size_t at = 0;
    if (take<std::uint32_t>(bytes, at) != kAnswerTag)
        return std::nullopt;
    const auto state = take<std::int32_t>(bytes, at);
    if (!knownState(state))
        return std::nullopt;
    HelperAnswer answer;
    answer.state = static_cast<HelperState>(state);
    answer.serial = take<std::uint32_t>(bytes, at);
    answer.error = take<std::int32_t>(bytes, at);
    answer.status = take<std::int32_t>(bytes, at);
    answer.recorded = take<std::uint32_t>(bytes, at) != 0;
    std::memcpy(answer.record.data(), bytes + at, answer.record.size());
    return answer;
}

} // namespace tobrik::net::linux_net
