#!/usr/bin/env python3
"""Answers echo requests to one lab address late, in place of the host
that has it: a local address whose requests the lab drops before the kernel
sees them (10.77.0.4), or a silent one that no interface holds (10.77.0.50),
which then is a peer host without a name in the lab's hosts file.

Usage: late_responder.py ADDRESS DELAY_MS LIFETIME [SOURCE]   (ends after LIFETIME s)

Captures the requests on every interface (a packet socket sees them before
the firewall drops them: on lo for a local address, on lab1 for one on
lab0's subnet) and answers each from ADDRESS after DELAY_MS. Prints "ready"
once listening and "replied SEQ" per reply. With SOURCE it is an impostor:
it answers every request it sees, to any address, from SOURCE."""
import heapq
import select
import signal
import socket
import struct
import sys
import time
import os
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from icmp_packets import checksum  # noqa: E402

ETH_P_IP = 0x0800
PACKET_OUTGOING = 4
IP_TRANSPARENT = 19


def main():
    address, delay = sys.argv[1], int(sys.argv[2]) / 1000.0
    impostor = sys.argv[4] if len(sys.argv) > 4 else None
    signal.signal(signal.SIGALRM, lambda *_: os._exit(0))
    signal.alarm(int(sys.argv[3]))
    wanted = socket.inet_aton(address)
    capture = socket.socket(socket.AF_PACKET, socket.SOCK_DGRAM, socket.htons(ETH_P_IP))
    sender = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP)
    sender.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1)
    # A source address that no interface holds: bound and routed as a
    # transparent proxy's (root only, as the raw socket is).
    sender.setsockopt(socket.IPPROTO_IP, IP_TRANSPARENT, 1)
    sender.bind((impostor or address, 0))
    print("ready", flush=True)
    due = []  # (time, sequence of the request, reply, destination)
    while True:
        timeout = max(0.0, due[0][0] - time.monotonic()) if due else None
        readable, _, _ = select.select([capture], [], [], timeout)
        if readable:
            packet, (_, _, kind, _, _) = capture.recvfrom(65535)
            if kind == PACKET_OUTGOING or len(packet) < 28 or packet[9] != 1:
                continue
            header = (packet[0] & 0x0F) * 4
            icmp = packet[header:]
            if (packet[16:20] != wanted and not impostor) or len(icmp) < 8 or icmp[0] != 8:
                continue
            reply = b"\0\0\0\0" + icmp[4:]
            reply = reply[:2] + struct.pack("!H", checksum(reply)) + reply[4:]
            source = socket.inet_ntoa(packet[12:16])
            sequence = struct.unpack("!H", icmp[6:8])[0]
            heapq.heappush(due, (time.monotonic() + delay, sequence, reply, source))
        while due and due[0][0] <= time.monotonic():
            _, sequence, reply, source = heapq.heappop(due)
            sender.sendto(reply, (source, 0))
            print("replied %d" % sequence, flush=True)


main()
