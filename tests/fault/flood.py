#!/usr/bin/env python3
"""Floods ICMP echo requests at the given addresses, round robin, as fast as
one process can send them, until terminated or until LIFETIME seconds have
passed. Needs a raw socket (root).

Usage: flood.py LIFETIME ADDRESS...

Prints "flooding" once a thousand requests per address are out, and at its
end (SIGTERM, SIGINT or lifetime) "sent N failed M". Its identifier is its
process id; replies are never read (a tiny receive buffer overflows)."""
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
    packets = [icmp(8, 0, ident, seq, b"flood" * 8) for seq in range(4096)]
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
