#include "IcmpPacket.h"
#include "IpStatus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace tobrik::net;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kSource = 0x0100007F; // 127.0.0.1 in network order
constexpr std::uint32_t kOther = 0x0200007F;  // 127.0.0.2

const EchoRequestId kRawId{0x1234, 0x0042, true, kSource};
const EchoRequestId kDatagramId{0, 0x0042, false, kSource};

// The ICMP message with its checksum filled in.
Bytes withChecksum(Bytes packet) {
    const std::uint16_t sum = InternetChecksum(packet.data(), packet.size());
    packet[2] = static_cast<std::uint8_t>(sum >> 8);
    packet[3] = static_cast<std::uint8_t>(sum);
    return packet;
}

Bytes icmp(std::uint8_t type, std::uint8_t code, std::uint16_t identifier, std::uint16_t sequence,
           const std::string& payload = "Korvantis") {
    Bytes packet(8 + payload.size(), 0);
    packet[0] = type;
    packet[1] = code;
    packet[4] = static_cast<std::uint8_t>(identifier >> 8);
    packet[5] = static_cast<std::uint8_t>(identifier);
    packet[6] = static_cast<std::uint8_t>(sequence >> 8);
    packet[7] = static_cast<std::uint8_t>(sequence);
    std::copy(payload.begin(), payload.end(), packet.begin() + 8);
    return withChecksum(packet);
}

// An IPv4 header of ihl 32-bit words (options zero-filled) before body.
Bytes withIp(const Bytes& body, std::uint8_t protocol = 1, std::uint8_t ihl = 5) {
    const std::size_t headerLength = static_cast<std::size_t>(ihl) * 4;
    Bytes packet(headerLength + body.size(), 0);
    packet[0] = static_cast<std::uint8_t>(0x40 | ihl);
    packet[8] = 64;
    packet[9] = protocol;
    packet[16] = 127, packet[19] = 1; // to the target
    std::copy(body.begin(), body.end(), packet.begin() + static_cast<std::ptrdiff_t>(headerLength));
    return packet;
}

// An ICMP error whose body quotes the given datagram.
Bytes error(std::uint8_t type, std::uint8_t code, const Bytes& quoted) {
    Bytes packet(8 + quoted.size(), 0);
    packet[0] = type;
    packet[1] = code;
    std::copy(quoted.begin(), quoted.end(), packet.begin() + 8);
    return withChecksum(packet);
}

EchoAnswer classify(const Bytes& packet, PacketForm form, const EchoRequestId& id) {
    // A copy of exactly the packet's size lets sanitizers catch overreads.
    const Bytes exact(packet);
    return ClassifyPacket(exact.data(), exact.size(), form, id, kSource);
}

auto fields(const EchoAnswer& a) {
    return std::tuple(int(a.verdict), a.status, a.source, a.dataOffset, a.dataLength);
}

EchoAnswer reply(std::size_t dataOffset, std::size_t dataLength) {
    return {Verdict::EchoReply, 0, kSource, dataOffset, dataLength};
}

EchoAnswer errorWith(std::int32_t status) {
    return {Verdict::Error, status, kSource, 0, 0};
}

Bytes unreachableQuoting(const Bytes& quoted) {
    return withIp(error(3, 1, quoted));
}

// A raw socket (IPv4 header first) matches identifier and sequence and
// checks the ICMP checksum, which the kernel checks only after handing it
// the packet; a datagram socket matches the sequence alone (the kernel
// chose the identifier). Whatever is no answer to our request is
// unrelated, with nothing else set.
TEST(ClassifyPacket, FindsOnlyTheAnswersToOurRequest) {
    const auto reply42 = withIp(icmp(0, 0, 0x1234, 0x0042));
    const auto quotedUs = withIp(icmp(8, 0, 0x1234, 0x0042));
    auto damagedReply = reply42;
    damagedReply.back() ^= 0x01;
    auto damagedError = unreachableQuoting(quotedUs);
    damagedError[20 + 1] = 2; // host unreachable turned into protocol unreachable
    auto toOther = quotedUs;
    toOther[19] = 2; // to 127.0.0.2
    const auto headerOnly = withIp(icmp(8, 0, 0x1234, 0x0042, ""));
    auto lyingQuote = headerOnly;
    lyingQuote[0] = 0x4F; // claims options that are not there
    const auto header = [&](std::uint8_t first) {
        auto packet = reply42;
        packet[0] = first;
        return packet;
    };
    const EchoAnswer none;
    const struct {
        const char* what;
        Bytes packet;
        EchoAnswer expected;
        bool raw = true;
    } cases[] = {
        {"datagram reply, any identifier", icmp(0, 0, 0x9999, 0x0042), reply(8, 9), false},
        {"datagram reply, other sequence", icmp(0, 0, 0x9999, 0x0041), none, false},
        {"datagram time exceeded", error(11, 0, withIp(icmp(8, 0, 0x7777, 0x0042))),
         errorWith(IpStatus::TtlExpiredTransit), false},
        {"raw reply", reply42, reply(28, 9)},
        {"raw reply behind IP options", withIp(icmp(0, 0, 0x1234, 0x0042, "ab"), 1, 7),
         reply(36, 2)},
        {"raw reply without data", withIp(icmp(0, 0, 0x1234, 0x0042, "")), reply(28, 0)},
        {"quote of a request to another host", unreachableQuoting(toOther), none},
        {"other identifier", withIp(icmp(0, 0, 0x1235, 0x0042)), none},
        {"other sequence", withIp(icmp(0, 0, 0x1234, 0x0043)), none},
        {"our own request leaving", quotedUs, none},
        {"other informational message", withIp(icmp(13, 0, 0x1234, 0x0042)), none},
        {"reply with a non-zero code", withIp(icmp(0, 1, 0x1234, 0x0042)), none},
        {"not ICMP", withIp(icmp(0, 0, 0x1234, 0x0042), 17), none},
        {"redirect quoting us: advice", withIp(error(5, 1, quotedUs)), none},
        {"damaged reply", damagedReply, none},
        {"damaged error", damagedError, none},
        {"unreachable quoting us", unreachableQuoting(quotedUs),
         errorWith(IpStatus::DestHostUnreachable)},
        {"quote of the echo header alone", withIp(error(3, 0, headerOnly)),
         errorWith(IpStatus::DestNetUnreachable)},
        {"quote of another sequence", unreachableQuoting(withIp(icmp(8, 0, 0x1234, 0x0043))), none},
        {"quote of another identifier", unreachableQuoting(withIp(icmp(8, 0, 0x4321, 0x0042))),
         none},
        {"quote of a reply", unreachableQuoting(reply42), none},
        {"quote of UDP", unreachableQuoting(withIp(icmp(8, 0, 0x1234, 0x0042), 17)), none},
        {"quote cut in the echo header",
         unreachableQuoting(withIp(Bytes{8, 0, 0, 0, 0x12, 0x34, 0})), none},
        {"quote cut in the IP header", unreachableQuoting(Bytes{0x45, 0, 0, 0}), none},
        {"nothing quoted", unreachableQuoting({}), none},
        {"quoted IP header too long", unreachableQuoting(lyingQuote), none},
        {"cut in the IP header", Bytes(reply42.begin(), reply42.begin() + 10), none},
        {"60-byte IP header in 37 bytes", header(0x4F), none},
        {"16-byte IP header", header(0x44), none},
        {"IP version 6", header(0x65), none},
    };
    for (const auto& c : cases) {
        const auto form = c.raw ? PacketForm::WithIpHeader : PacketForm::IcmpOnly;
        EXPECT_EQ(fields(classify(c.packet, form, c.raw ? kRawId : kDatagramId)),
                  fields(c.expected))
            << c.what;
    }
    for (const auto form : {PacketForm::IcmpOnly, PacketForm::WithIpHeader})
        EXPECT_EQ(ClassifyPacket(nullptr, 0, form, kRawId, kSource).verdict, Verdict::Unrelated);
}

TEST(ClassifyPacket, EveryPrefixOfAnAnswerIsSafe) {
    const auto reply = withIp(icmp(0, 0, 0x1234, 0x0042));
    for (std::size_t length = 0; length <= reply.size(); ++length) {
        const auto c = classify(Bytes(reply.begin(), reply.begin() + length),
                                PacketForm::WithIpHeader, kRawId);
        // Cut short, the message no longer matches its checksum.
        if (length < reply.size()) {
            EXPECT_EQ(c.verdict, Verdict::Unrelated) << length;
        } else {
            EXPECT_EQ(c.verdict, Verdict::EchoReply) << length;
            EXPECT_EQ(c.dataOffset + c.dataLength, length);
        }
    }
    const auto err = withIp(error(3, 3, withIp(icmp(8, 0, 0x1234, 0x0042, ""))));
    for (std::size_t length = 0; length < err.size(); ++length)
        EXPECT_EQ(
            classify(Bytes(err.begin(), err.begin() + length), PacketForm::WithIpHeader, kRawId)
                .verdict,
            Verdict::Unrelated)
            << length;
}

TEST(EchoRequest, LayoutAndChecksum) {
    const auto packet = BuildEchoRequest({0xABCD, 0x0102, true}, "Korvantis");
    EXPECT_EQ(packet, icmp(8, 0, 0xABCD, 0x0102));
    // A packet with its checksum in place sums to zero (odd length here).
    EXPECT_EQ(InternetChecksum(packet.data(), packet.size()), 0);

    EXPECT_TRUE(IsOwnEchoRequest(packet.data(), packet.size(), {0, 0x0102, false}));
    EXPECT_FALSE(IsOwnEchoRequest(packet.data(), packet.size(), {0x1111, 0x0102, true}));
    EXPECT_FALSE(IsOwnEchoRequest(packet.data(), 7, {0, 0x0102, false}));
}

TEST(EchoRequest, ChecksumOfKnownData) {
    // The worked example of RFC 1071: the sum is 0xDDF2, its complement 0x220D.
    const std::uint8_t data[] = {0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7};
    EXPECT_EQ(InternetChecksum(data, sizeof data), 0x220D);
    const std::uint8_t odd[] = {0xFF};
    EXPECT_EQ(InternetChecksum(odd, 1), 0x00FF);
}

TEST(StatusFromTarget, OnEverySystemOnlyTheTargetAnswersForItself) {
    EXPECT_EQ(StatusFromTarget(IpStatus::Success, kSource, kSource), IpStatus::Success);
    EXPECT_EQ(StatusFromTarget(IpStatus::Success, kOther, kSource), IpStatus::RequestTimedOut);
    EXPECT_EQ(StatusFromTarget(IpStatus::SourceQuench, kOther, kSource), IpStatus::SourceQuench);
}

TEST(StatusForIcmpError, MapsTypesAndCodes) {
    struct Case {
        std::uint8_t type, code;
        std::int32_t status;
    };
    const Case cases[] = {
        {3, 0, 11002},  {3, 6, 11002},  {3, 1, 11003}, {3, 7, 11003}, {3, 2, 11004},
        {3, 13, 11004}, {3, 10, 11004}, {3, 3, 11005}, {3, 4, 11009}, {11, 0, 11013},
        {11, 1, 11014}, {12, 0, 11015}, {4, 0, 11016}, {5, 0, 11050}, {99, 7, 11050},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StatusForIcmpError(c.type, c.code), c.status)
            << int(c.type) << "/" << int(c.code);
}

} // namespace
