// The ICMP reply matcher on arbitrary packets, as a datagram ICMP socket
// (ICMP header first) or a raw socket (IPv4 header first) hands them over.
//
// Input: one byte of flags (bit 0: raw form, bit 1: match the identifier),
// the request's identifier and sequence (2 bytes each, big-endian), the
// sender's address (4 bytes), then the packet (in a buffer of its length).
//
// The verdict must equal that of a second, independent reading: in the raw
// form nothing whose ICMP checksum fails; an echo reply only with code 0 and
// the request's identifier (when matched) and sequence, its data the rest of
// the packet; an error only for an error type quoting a whole IPv4 header
// carrying ICMP (raw form: to the target) and the request's echo header; all else unrelated.

#include "FuzzCheck.h"
#include "IcmpPacket.h"
#include "IpStatus.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace tobrik::net;

namespace {

constexpr std::size_t kPrefix = 9;

unsigned u16(const std::uint8_t* p) {
    return static_cast<unsigned>(p[0]) << 8 | p[1];
}

// Offset of the ICMP header after an IPv4 header carrying ICMP, or -1.
long ipPayload(const std::uint8_t* p, std::size_t n) {
    if (n < 20 || p[0] >> 4 != 4 || p[9] != 1)
        return -1;
    const std::size_t ihl = (p[0] & 0xFu) * 4u;
    if (ihl < 20 || ihl > n)
        return -1;
    return static_cast<long>(ihl);
}

// True when the bytes sum to all ones in one's complement (a valid checksum).
bool checksumHolds(const std::uint8_t* p, std::size_t n) {
    unsigned long sum = 0;
    for (std::size_t i = 0; i < n; ++i)
        sum += i % 2 == 0 ? static_cast<unsigned long>(p[i]) << 8 : p[i];
    while (sum > 0xFFFF)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return sum == 0xFFFF;
}

bool sameRequest(const std::uint8_t* icmp, const EchoRequestId& id) {
    return (!id.matchIdentifier || u16(icmp + 4) == id.identifier) && u16(icmp + 6) == id.sequence;
}

Verdict expectedVerdict(const std::uint8_t* p, std::size_t n, PacketForm form,
                        const EchoRequestId& id, std::size_t& icmpAt) {
    long at = 0;
    if (form == PacketForm::WithIpHeader && (at = ipPayload(p, n)) < 0)
        return Verdict::Unrelated;
    icmpAt = static_cast<std::size_t>(at);
    if (n < icmpAt + 8)
        return Verdict::Unrelated;
    const std::uint8_t* icmp = p + icmpAt;
    if (form == PacketForm::WithIpHeader && !checksumHolds(icmp, n - icmpAt))
        return Verdict::Unrelated;
    if (icmp[0] == 0)
        return icmp[1] == 0 && sameRequest(icmp, id) ? Verdict::EchoReply : Verdict::Unrelated;
    if (icmp[0] != 3 && icmp[0] != 4 && icmp[0] != 11 && icmp[0] != 12)
        return Verdict::Unrelated;
    const std::uint8_t* quoted = icmp + 8;
    const std::size_t quotedLength = n - icmpAt - 8;
    const long inner = ipPayload(quoted, quotedLength);
    if (inner < 0 || quotedLength < static_cast<std::size_t>(inner) + 8 ||
        (form == PacketForm::WithIpHeader && std::memcmp(quoted + 16, &id.target, 4) != 0))
        return Verdict::Unrelated;
    const std::uint8_t* request = quoted + inner;
    return request[0] == 8 && sameRequest(request, id) ? Verdict::Error : Verdict::Unrelated;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kPrefix)
        return 0;
    const PacketForm form = data[0] & 1 ? PacketForm::WithIpHeader : PacketForm::IcmpOnly;
    EchoRequestId id;
    id.matchIdentifier = (data[0] & 2) != 0;
    id.identifier = static_cast<std::uint16_t>(u16(data + 1));
    id.sequence = static_cast<std::uint16_t>(u16(data + 3));
    std::uint32_t source;
    std::memcpy(&source, data + 5, sizeof source);
    id.target = source; // the reply's rule on the sender is StatusFromTarget's test

    const std::size_t length = size - kPrefix;
    const auto packet = ExactCopy(data + kPrefix, length);

    const EchoAnswer result = ClassifyPacket(packet.get(), length, form, id, source);
    std::size_t icmpAt = 0;
    const Verdict expected = expectedVerdict(packet.get(), length, form, id, icmpAt);
    FUZZ_CHECK(result.verdict == expected);

    switch (result.verdict) {
    case Verdict::EchoReply:
        FUZZ_CHECK(result.status == IpStatus::Success);
        FUZZ_CHECK(result.source == source);
        FUZZ_CHECK(result.dataOffset == icmpAt + 8);
        FUZZ_CHECK(result.dataOffset + result.dataLength == length);
        break;
    case Verdict::Error:
        FUZZ_CHECK(result.status != IpStatus::Success);
        FUZZ_CHECK(result.status == StatusForIcmpError(packet[icmpAt], packet[icmpAt + 1]));
        FUZZ_CHECK(result.source == source && result.dataLength == 0);
        break;
    case Verdict::Unrelated:
        FUZZ_CHECK(result.status == 0 && result.dataLength == 0);
        break;
    }

    // The datagram socket's error queue hands back the quoted request alone.
    const bool own = length >= 8 && packet[0] == 8 && sameRequest(packet.get(), id);
    FUZZ_CHECK(IsOwnEchoRequest(packet.get(), length, id) == own);

    // A null packet is never an answer.
    FUZZ_CHECK(ClassifyPacket(nullptr, length, form, id, source).verdict == Verdict::Unrelated);
    return 0;
}
