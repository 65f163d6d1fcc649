#!/usr/bin/env python3
"""Writes the committed seed corpus of the fuzz targets into corpus/.

Run it again after changing the seeds below; libFuzzer grows its own working
corpus from these during a run (see run_fuzzer.sh)."""
import os
import struct
import sys
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from icmp_packets import icmp  # noqa: E402

here = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(here, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("utf-8"))


for name, text in {
    "digits": "192", "zero": "0", "leading-zeros": "00010", "huge": "9" * 40,
    "int32-max": "2147483647", "int32-max-plus-one": "2147483648", "empty": "",
    "sign": "-1", "blank": " 1", "fullwidth": "１２", "nul": "1\x002", "letters": "abc",
    "plus": "+1", "trailing-blank": "1 ", "tab": "1\t", "control": "\x01", "point": "1.0",
    "exponent": "1e2", "comma": "1,000", "hex": "0x1F", "many-zeros": "0" * 22 + "1",
}.items():
    write("numeric_text", name, text)

for name, boxes in {
    "accepted": ["192", "168", "0", "1", "254"],
    "end-equals-start": ["10", "0", "0", "7", "7"],
    "end-below-start": ["10", "0", "0", "10", "9"],
    "last-octet-zero": ["1", "1", "1", "0", "1"],
    "second-256": ["1", "256", "1", "1", "1"],
    "empty-boxes": ["", "", "", "", ""],
    "fullwidth": ["1", "1", "1", "５", "5"],
    "long-end": ["1", "1", "1", "1", "9" * 64],
}.items():
    write("range_validation", name, "\x00".join(boxes))

for name, text in {
    "plain": "192.168.10.5", "zeros": "0.0.0.0", "leading-zeros": "010.001.000.099",
    "broadcast": "255.255.255.255", "octet-256": "1.2.3.256", "three-parts": "1.2.3",
    "five-parts": "1.2.3.4.5", "trailing-dot": "1.2.3.4.", "empty-octet": "1..2.3",
    "sign": "+1.2.3.4", "blank": "1.2.3.4 ", "hex": "0x7f.0.0.1", "loopback": "127.0.0.1",
}.items():
    write("ipv4_address", name, text)

for name, text in {
    "address": "192.168.10.5", "empty": "", "two-dots": "10.0.0", "five-parts": "1.2.3.4.5",
    "only-dots": "...", "text": "a.b.c.d", "empty-octets": "1..3.",
}.items():
    write("octet_split", name, text)


def ipv4(payload, src="10.77.0.1", dst="10.77.0.9", proto=1, ihl=5):
    options = b"\x01" * (ihl * 4 - 20)
    header = struct.pack("!BBHHHBBH4s4s", 0x40 | ihl, 0, ihl * 4 + len(payload), 0, 0, 64,
                         proto, 0, bytes(map(int, src.split("."))),
                         bytes(map(int, dst.split("."))))
    return header + options + payload


def case(raw, match_id, ident, seq, packet):
    flags = (1 if raw else 0) | (2 if match_id else 0)
    return struct.pack("!BHH4s", flags, ident, seq, bytes([10, 77, 0, 9])) + packet


ID, SEQ = 0x1234, 0x0042
request = icmp(8, 0, ID, SEQ, b"Korvantis")
reply = icmp(0, 0, ID, SEQ, b"Korvantis")
quoted = ipv4(request, src="10.77.0.1", dst="10.77.0.9")
seeds = {
    "datagram-reply": case(False, False, ID, SEQ, reply),
    "raw-reply": case(True, True, ID, SEQ, ipv4(reply, src="10.77.0.9", dst="10.77.0.1")),
    "raw-reply-with-options": case(True, True, ID, SEQ, ipv4(reply, ihl=7)),
    "raw-reply-other-id": case(True, True, ID, SEQ, ipv4(icmp(0, 0, ID + 1, SEQ, b"x"))),
    "raw-reply-other-seq": case(True, True, ID, SEQ, ipv4(icmp(0, 0, ID, SEQ - 1, b"x"))),
    "raw-own-request": case(True, True, ID, SEQ, ipv4(request)),
    "raw-unreachable": case(True, True, ID, SEQ, ipv4(icmp(3, 1, 0, 0, quoted))),
    "raw-time-exceeded": case(True, True, ID, SEQ, ipv4(icmp(11, 0, 0, 0, quoted))),
    "raw-error-quoting-other": case(True, True, ID, SEQ,
                                    ipv4(icmp(3, 1, 0, 0, ipv4(icmp(8, 0, ID, SEQ + 1))))),
    "raw-error-truncated-quote": case(True, True, ID, SEQ, ipv4(icmp(3, 1, 0, 0, quoted[:24]))),
    "raw-truncated-ip-header": case(True, True, ID, SEQ, ipv4(reply)[:12]),
    "raw-ihl-too-long": case(True, True, ID, SEQ, ipv4(reply)[:1].replace(b"\x45", b"\x4f")
                             + ipv4(reply)[1:30]),
    "raw-udp": case(True, True, ID, SEQ, ipv4(reply, proto=17)),
    "datagram-error": case(False, False, ID, SEQ, icmp(12, 0, 0, 0, quoted)),
    "datagram-short": case(False, False, ID, SEQ, reply[:5]),
    "empty": case(False, False, ID, SEQ, b""),
}
for name, data in seeds.items():
    write("icmp_classify", name, data)


def request(serial, address, timeout, tag=0x54424551):
    return struct.pack("<II4sI", tag, serial, bytes(map(int, address.split("."))), timeout)


for name, data in {
    "request": request(1, "127.0.0.1", 500),
    "request-longest-wait": request(7, "10.77.0.9", 10000),
    "request-too-long-a-wait": request(7, "10.77.0.9", 10001),
    "request-no-wait": request(2, "10.77.0.9", 0),
    "request-broadcast": request(3, "255.255.255.255", 500),
    "request-other-tag": request(1, "127.0.0.1", 500, tag=0x54424541),
    "request-truncated": request(1, "127.0.0.1", 500)[:15],
    "request-oversized": request(1, "127.0.0.1", 500) + b"\0",
    "empty": b"",
}.items():
    write("echo_request", name, data)
