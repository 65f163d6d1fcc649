#!/usr/bin/env python3
"""Floods ICMP echo requests at the given addresses, round robin, as fast as
one process can send them, until terminated. Needs a raw socket (root).

Prints "flooding" once the first thousand requests are out, and on SIGTERM
the number of requests sent. Its own identifier is its process id; replies
are never read (the socket's receive buffer is kept tiny and overflows)."""
import os
import signal
import socket
import struct
import sys


def checksum(data):
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack("!%dH" % (len(data) // 2), data))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return ~total & 0xFFFF


def main():
    targets = [(address, 0) for address in sys.argv[1:]]
    sock = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1)
    ident = os.getpid() & 0xFFFF
    sent = 0

    def stop(*_):
        print("sent %d" % sent, flush=True)
        os._exit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    packets = []
    for seq in range(4096):
        header = struct.pack("!BBHHH", 8, 0, 0, ident, seq) + b"flood" * 8
        packets.append(header[:2] + struct.pack("!H", checksum(header)) + header[4:])
    while True:
        for packet in packets:
            for target in targets:
                try:
                    sock.sendto(packet, target)
                    sent += 1
                except OSError:
                    pass
            if sent == 1000 * len(targets):
                print("flooding", flush=True)


main()
