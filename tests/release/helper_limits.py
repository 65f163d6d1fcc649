#!/usr/bin/env python3
"""Drives the echo helper ARGV[1] as nobody would, as fast as it answers, starting it anew again and
again: its pace lets 256 + 500 t echo requests leave the lab in t s to an answering host, none to
multicast; it loads libc, libcap."""
import re, socket, struct, subprocess, sys, time  # noqa: E401


def echos_out():
    rows = [line.split() for line in open("/proc/net/snmp") if line.startswith("Icmp:")]
    return int(rows[1][rows[0].index("OutEchos")])


def within_limits(target, bound, seconds=2.0):
    # A new helper after every 256 requests, as a user may start one: it must gain no burst.
    before, start, requests, libraries, ready = echos_out(), time.monotonic(), 0, set(), True
    while ready and time.monotonic() - start < seconds:
        ours, theirs = socket.socketpair(socket.AF_UNIX, socket.SOCK_SEQPACKET)
        helper = subprocess.Popen([sys.argv[1]], stdin=theirs, user="nobody", group="nogroup",
                                  extra_groups=[], env={})
        theirs.close()
        ready = struct.unpack_from("=Ii", ours.recv(512))[1] == 1  # greeted: serving
        libraries |= set(re.findall(r"/([^/\s]+?)\.so", open(f"/proc/{helper.pid}/maps").read()))
        for _ in range(256 if ready else 0):
            requests += 1
            ours.send(struct.pack("=II4sI", 0x54424551, requests, socket.inet_aton(target), 100))
            ours.recv(512)
        ours.close()  # the helper ends with its channel
        helper.wait()
    elapsed, sent = time.monotonic() - start, echos_out() - before
    print("%s: %d requests, %d echo requests out in %.2f s (bound %d), libraries %s"
          % (target, requests, sent, elapsed, bound(elapsed), sorted(libraries)))
    return ready and sent <= bound(elapsed) and libraries <= {"libc", "libcap", "ld-linux-x86-64"}


subprocess.run(["ip", "route", "add", "224.0.0.0/4", "dev", "lab0"], check=True)
answering = within_limits("10.77.0.1", lambda t: 256 + 500 * t)
sys.exit(0 if within_limits("224.0.0.1", lambda t: 0) and answering else 1)
