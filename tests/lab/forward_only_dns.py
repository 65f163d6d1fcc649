#!/usr/bin/env python3
"""A name server for the lab that knows names but no addresses' names.

Answers A queries for the names given on the command line (NAME=ADDRESS)
and says NXDOMAIN to everything else, reverse (PTR) queries included, so a
host can resolve its own name while the reverse look-up of its address
fails. Listens on 127.0.0.1:53 inside the lab's namespace; prints "ready"
once bound. Stops by itself after --lifetime seconds.

With --silent it is a name server that never answers: it reads every query
and replies to none, as one that is down behind a firewall that drops the
packets; --log=FILE then gets each query's name, a line each.
"""
import socket
import struct
import sys
import time


def parse_question(packet):
    labels, offset = [], 12
    while offset < len(packet):
        length = packet[offset]
        offset += 1
        if length == 0:
            break
        labels.append(packet[offset:offset + length].decode("ascii", "replace"))
        offset += length
    qtype, _qclass = struct.unpack("!HH", packet[offset:offset + 4])
    return ".".join(labels).lower(), qtype, packet[12:offset + 4]


def answer(packet, names):
    ident, = struct.unpack("!H", packet[:2])
    name, qtype, question = parse_question(packet)
    address = names.get(name.rstrip("."))
    if address is None:
        return struct.pack("!HHHHHH", ident, 0x8183, 1, 0, 0, 0) + question
    if qtype != 1:  # the name exists, but has no record of this type
        return struct.pack("!HHHHHH", ident, 0x8180, 1, 0, 0, 0) + question
    record = struct.pack("!HHHIH", 0xC00C, 1, 1, 60, 4) + socket.inet_aton(address)
    return struct.pack("!HHHHHH", ident, 0x8180, 1, 1, 0, 0) + question + record


def main():
    lifetime = 120.0
    names = {}
    silent, log = False, None
    for argument in sys.argv[1:]:
        if argument.startswith("--lifetime="):
            lifetime = float(argument.split("=", 1)[1])
        elif argument == "--silent":
            silent = True
        elif argument.startswith("--log="):
            log = open(argument.split("=", 1)[1], "a", buffering=1)
        else:
            name, address = argument.split("=", 1)
            names[name.lower()] = address
    server = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    server.bind(("127.0.0.1", 53))
    server.settimeout(0.5)
    print("ready", flush=True)
    deadline = time.monotonic() + lifetime
    while time.monotonic() < deadline:
        try:
            packet, peer = server.recvfrom(512)
        except socket.timeout:
            continue
        if silent:
            if log:
                try:
                    log.write(parse_question(packet)[0] + "\n")
                except (struct.error, IndexError):
                    pass
            continue
        try:
            server.sendto(answer(packet, names), peer)
        except (struct.error, IndexError):
            pass  # not a query this server understands


if __name__ == "__main__":
    main()
