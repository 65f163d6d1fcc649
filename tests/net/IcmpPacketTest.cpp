#include "IcmpPacket.h"
#include "IpStatus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace tobrik::net;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kSource = 0x0100007F; // 127.0.0.1 in network order

const EchoRequestId kRawId{0x1234, 0x0042, true};
const EchoRequestId kDatagramId{0, 0x0042, false};

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

TEST(ClassifyPacket, ReplyOnDatagramSocketMatchesSequenceOnly) {
    const auto reply = icmp(0, 0, 0x9999, 0x0042);
    const auto c = classify(reply, PacketForm::IcmpOnly, kDatagramId);
    EXPECT_EQ(c.verdict, Verdict::EchoReply);
    EXPECT_EQ(c.status, 0);
    EXPECT_EQ(c.source, kSource);
    EXPECT_EQ(c.dataOffset, 8u);
    EXPECT_EQ(c.dataLength, 9u);

    EXPECT_EQ(classify(icmp(0, 0, 0x9999, 0x0041), PacketForm::IcmpOnly, kDatagramId).verdict,
              Verdict::Unrelated);
}

TEST(ClassifyPacket, ReplyOnRawSocketMatchesIdentifierAndSequence) {
    const auto c = classify(withIp(icmp(0, 0, 0x1234, 0x0042)), PacketForm::WithIpHeader, kRawId);
    EXPECT_EQ(c.verdict, Verdict::EchoReply);
    EXPECT_EQ(c.dataOffset, 28u);
    EXPECT_EQ(c.dataLength, 9u);

    const auto withOptions =
        classify(withIp(icmp(0, 0, 0x1234, 0x0042, "ab"), 1, 7), PacketForm::WithIpHeader, kRawId);
    EXPECT_EQ(withOptions.verdict, Verdict::EchoReply);
    EXPECT_EQ(withOptions.dataOffset, 36u);
    EXPECT_EQ(withOptions.dataLength, 2u);

    const auto emptyPayload =
        classify(withIp(icmp(0, 0, 0x1234, 0x0042, "")), PacketForm::WithIpHeader, kRawId);
    EXPECT_EQ(emptyPayload.verdict, Verdict::EchoReply);
    EXPECT_EQ(emptyPayload.dataLength, 0u);
}

TEST(ClassifyPacket, IgnoresPacketsForOtherRequests) {
    const auto form = PacketForm::WithIpHeader;
    EXPECT_EQ(classify(withIp(icmp(0, 0, 0x1235, 0x0042)), form, kRawId).verdict,
              Verdict::Unrelated);
    EXPECT_EQ(classify(withIp(icmp(0, 0, 0x1234, 0x0043)), form, kRawId).verdict,
              Verdict::Unrelated);
    // A raw socket sees our own request leave.
    EXPECT_EQ(classify(withIp(icmp(8, 0, 0x1234, 0x0042)), form, kRawId).verdict,
              Verdict::Unrelated);
    // Other informational messages, a reply with a non-zero code, non-ICMP.
    EXPECT_EQ(classify(withIp(icmp(13, 0, 0x1234, 0x0042)), form, kRawId).verdict,
              Verdict::Unrelated);
    EXPECT_EQ(classify(withIp(icmp(0, 1, 0x1234, 0x0042)), form, kRawId).verdict,
              Verdict::Unrelated);
    EXPECT_EQ(classify(withIp(icmp(0, 0, 0x1234, 0x0042), 17), form, kRawId).verdict,
              Verdict::Unrelated);
    // A redirect quoting our request is advice, not an answer.
    const auto quotedUs = withIp(icmp(8, 0, 0x1234, 0x0042));
    EXPECT_EQ(classify(withIp(error(5, 1, quotedUs)), form, kRawId).verdict, Verdict::Unrelated);
    // A raw socket gets messages before the kernel checks them: a reply or
    // an error that was damaged on the way (its checksum fails) is none.
    auto damagedReply = withIp(icmp(0, 0, 0x1234, 0x0042));
    damagedReply.back() ^= 0x01;
    EXPECT_EQ(classify(damagedReply, form, kRawId).verdict, Verdict::Unrelated);
    auto damagedError = withIp(error(3, 1, quotedUs));
    damagedError[20 + 1] = 2; // host unreachable turned into protocol unreachable
    EXPECT_EQ(classify(damagedError, form, kRawId).verdict, Verdict::Unrelated);
}

TEST(ClassifyPacket, ErrorQuotingOurRequestEndsTheWait) {
    const auto quotedRaw = withIp(icmp(8, 0, 0x1234, 0x0042));
    const auto raw = classify(withIp(error(3, 1, quotedRaw)), PacketForm::WithIpHeader, kRawId);
    EXPECT_EQ(raw.verdict, Verdict::Error);
    EXPECT_EQ(raw.status, IpStatus::DestHostUnreachable);
    EXPECT_EQ(raw.source, kSource);

    const auto quotedDatagram = withIp(icmp(8, 0, 0x7777, 0x0042));
    const auto datagram = classify(error(11, 0, quotedDatagram), PacketForm::IcmpOnly, kDatagramId);
    EXPECT_EQ(datagram.verdict, Verdict::Error);
    EXPECT_EQ(datagram.status, IpStatus::TtlExpiredTransit);

    // Only the 8 bytes of the echo header need to be quoted.
    const auto headerOnly = withIp(icmp(8, 0, 0x1234, 0x0042, ""));
    EXPECT_EQ(classify(withIp(error(3, 0, headerOnly)), PacketForm::WithIpHeader, kRawId).verdict,
              Verdict::Error);
}

TEST(ClassifyPacket, ErrorsQuotingOthersOrTooLittleAreIgnored) {
    const auto form = PacketForm::WithIpHeader;
    const auto expectUnrelated = [&](const Bytes& quoted) {
        EXPECT_EQ(classify(withIp(error(3, 1, quoted)), form, kRawId).verdict, Verdict::Unrelated);
    };
    expectUnrelated(withIp(icmp(8, 0, 0x1234, 0x0043)));       // other sequence
    expectUnrelated(withIp(icmp(8, 0, 0x4321, 0x0042)));       // other identifier
    expectUnrelated(withIp(icmp(0, 0, 0x1234, 0x0042)));       // quotes a reply
    expectUnrelated(withIp(icmp(8, 0, 0x1234, 0x0042), 17));   // quotes UDP
    expectUnrelated(withIp(Bytes{8, 0, 0, 0, 0x12, 0x34, 0})); // quote cut inside the header
    expectUnrelated(Bytes{0x45, 0, 0, 0});                     // quote cut inside the IP header
    expectUnrelated({});                                       // nothing quoted
    // The quoted IP header claims options that are not there.
    auto lying = withIp(icmp(8, 0, 0x1234, 0x0042, ""));
    lying[0] = 0x4F;
    expectUnrelated(lying);
}

TEST(ClassifyPacket, RefusesBrokenIpHeaders) {
    const auto reply = withIp(icmp(0, 0, 0x1234, 0x0042));
    const auto form = PacketForm::WithIpHeader;
    EXPECT_EQ(classify(Bytes(reply.begin(), reply.begin() + 10), form, kRawId).verdict,
              Verdict::Unrelated);
    auto tooLong = reply;
    tooLong[0] = 0x4F; // 60-byte header in a 37-byte packet
    EXPECT_EQ(classify(tooLong, form, kRawId).verdict, Verdict::Unrelated);
    auto tooShort = reply;
    tooShort[0] = 0x44; // 16 bytes: below the minimum
    EXPECT_EQ(classify(tooShort, form, kRawId).verdict, Verdict::Unrelated);
    auto version6 = reply;
    version6[0] = 0x65;
    EXPECT_EQ(classify(version6, form, kRawId).verdict, Verdict::Unrelated);
    EXPECT_EQ(ClassifyPacket(nullptr, 0, form, kRawId, kSource).verdict, Verdict::Unrelated);
    EXPECT_EQ(ClassifyPacket(nullptr, 0, PacketForm::IcmpOnly, kRawId, kSource).verdict,
              Verdict::Unrelated);
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

TEST(ClassifyPacket, RandomBytesKeepDataInsideThePacket) {
    std::mt19937 random(20240607);
    for (int round = 0; round < 20000; ++round) {
        Bytes packet(random() % 80);
        for (auto& byte : packet)
            byte = static_cast<std::uint8_t>(random());
        // Bias towards plausible headers so deeper paths are reached.
        if (!packet.empty() && round % 2 == 0)
            packet[0] = static_cast<std::uint8_t>(0x40 | (packet[0] & 0x0F));
        for (const auto form : {PacketForm::IcmpOnly, PacketForm::WithIpHeader}) {
            const auto c = classify(packet, form, kRawId);
            if (c.verdict == Verdict::EchoReply)
                ASSERT_LE(c.dataOffset + c.dataLength, packet.size());
            else
                ASSERT_EQ(c.dataLength, 0u);
        }
    }
}

TEST(EchoRequest, LayoutAndChecksum) {
    const auto packet = BuildEchoRequest({0xABCD, 0x0102, true}, "Korvantis");
    ASSERT_EQ(packet.size(), 17u);
    EXPECT_EQ(packet[0], 8);
    EXPECT_EQ(packet[1], 0);
    EXPECT_EQ(packet[4], 0xAB);
    EXPECT_EQ(packet[5], 0xCD);
    EXPECT_EQ(packet[6], 0x01);
    EXPECT_EQ(packet[7], 0x02);
    EXPECT_EQ(std::string(packet.begin() + 8, packet.end()), "Korvantis");
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
