#!/usr/bin/env python3
"""Floods ICMP echo requests at the given addresses, round robin, as fast as
one process can send them, until terminated or until LIFETIME seconds have
passed. Needs a raw socket (root).

Usage: flood.py LIFETIME ADDRESS...

Prints "flooding" once a thousand requests per address are out, and when it
ends (SIGTERM, SIGINT or its lifetime) "sent N failed M": the requests sent
and the sends that failed. Its own identifier is its process id; replies
are never read (the socket's receive buffer is kept tiny and overflows)."""
import os
import signal
import socket
import sys
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from icmp_packets import icmp  # noqa: E402


def main():
    lifetime = int(sys.argv[1])
    targets = [(address, 0) for address in sys.argv[2:]]
    sock = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1)
    ident = os.getpid() & 0xFFFF
    sent = 0
    failed = 0

    def stop(*_):
        print("sent %d failed %d" % (sent, failed), flush=True)
        os._exit(0)

    for stopping in (signal.SIGTERM, signal.SIGINT, signal.SIGALRM):
        signal.signal(stopping, stop)
    signal.alarm(lifetime)
    packets = []
    for seq in range(4096):
        packets.append(icmp(8, 0, ident, seq, b"flood" * 8))
    announced = False
    while True:
        for packet in packets:
            for target in targets:
                try:
                    sock.sendto(packet, target)
                    sent += 1
                except OSError:
                    failed += 1
            if not announced and sent >= 1000 * len(targets):
                announced = True
                print("flooding", flush=True)


main()
