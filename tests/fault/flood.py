#!/usr/bin/env python3
"""Floods ICMP echo requests at the given addresses, round robin, as fast as
one process can send them, until terminated. Needs a raw socket (root).

Prints "flooding" once the first thousand requests are out, and on SIGTERM
the number of requests sent. Its own identifier is its process id; replies
are never read (the socket's receive buffer is kept tiny and overflows)."""
import os
import signal
import socket
import sys
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from icmp_packets import icmp  # noqa: E402


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
        packets.append(icmp(8, 0, ident, seq, b"flood" * 8))
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
