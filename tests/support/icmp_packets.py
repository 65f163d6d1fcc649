"""ICMP packets for the test tools: the Internet checksum and echo
messages with it filled in."""
import struct


def checksum(data):
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack("!%dH" % (len(data) // 2), data))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return ~total & 0xFFFF


def icmp(kind, code, ident, seq, body=b""):
    """An ICMP message of the echo layout (type, code, identifier, sequence)."""
    header = struct.pack("!BBHHH", kind, code, 0, ident, seq) + body
    return header[:2] + struct.pack("!H", checksum(header)) + header[4:]
