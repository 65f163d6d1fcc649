#!/usr/bin/env python3
"""Turns the raw measurements of bench/run_lab.sh into the results table
(Markdown) and the per-address chart data, and judges the targets.

Usage: report.py RAW MACHINE OUT_DIR
  RAW      lines "case<TAB>tool<TAB>metric<TAB>value"
  MACHINE  lines "key: value" describing the machine and the run
  OUT_DIR  receives results.md and per-address.dat (for chart.gp)
"""

import statistics
import sys
from collections import defaultdict
from pathlib import Path

PEERS = [
    ("fping", "fping -c1 -t500"),
    ("fping-r0", "fping -c1 -t500 -r0"),
    ("nmap", "nmap -sn -PE -n --send-ip"),
    ("ping-loop", "ping -c1 -W1, one per address"),
]
CASES = [
    ("loopback", "255 answering (loopback)"),
    ("names", "255 answering + name look-up"),
    ("silent", "20 silent"),
    ("reject", "10 rejected by route"),
]
CHART_LABELS = {
    "loopback": "255 answering",
    "names": "255 answering, names",
    "silent": "20 silent",
    "reject": "10 rejected",
}


def load(path):
    data = defaultdict(list)
    for line in Path(path).read_text().splitlines():
        parts = line.split("\t")
        if len(parts) == 4:
            data[(parts[0], parts[1], parts[2])].append(parts[3])
    return data


class Figures:
    def __init__(self, raw):
        self.raw = raw

    def numbers(self, case, tool, metric):
        return [float(v) for v in self.raw.get((case, tool, metric), []) if v != ""]

    def text(self, case, tool, metric, default=""):
        values = self.raw.get((case, tool, metric))
        return values[-1] if values else default

    def median(self, case, tool, metric):
        values = self.numbers(case, tool, metric)
        return statistics.median(values) if values else None

    def per_address(self, case, tool):
        """Median cost of one address, in ms. Tobrik and the ping loop are
        timed per address; the other peers per run, divided by the count."""
        if tool == "tobrik":
            return self.median(case, tool, "address_ms")
        if tool == "ping-loop":
            return self.median(case, tool, "address_ms")
        run = self.median(case, tool, "run_ms")
        count = self.median(case, tool, "addresses")
        return run / count if run is not None and count else None

    def whole(self, case, tool):
        """Median time for all the case's addresses, in ms."""
        if tool == "tobrik":
            return self.median(case, tool, "sweep_ms")
        if tool == "ping-loop":
            values = self.numbers(case, tool, "address_ms")
            count = int(self.median(case, tool, "addresses") or 0)
            if not values or not count:
                return None
            # One pass is `count` consecutive addresses; the median pass.
            passes = [sum(values[i : i + count]) for i in range(0, len(values), count)]
            return statistics.median(passes)
        return self.median(case, tool, "run_ms")

    def percentile(self, case, tool, metric, share):
        values = sorted(self.numbers(case, tool, metric))
        if not values:
            return None
        return values[min(len(values) - 1, int(share * len(values)))]


def ms(value):
    if value is None:
        return "–"
    if value >= 1000:
        return f"{value / 1000:.2f} s"
    if value >= 100:
        return f"{value:.1f} ms"
    if value >= 10:
        return f"{value:.0f} ms"
    if value >= 1:
        return f"{value:.2f} ms"
    return f"{value:.3f} ms"


def kb(value):
    return "–" if value is None else f"{value / 1024:.1f} MiB"


def with_ratio(ours, peer, render):
    if peer is None:
        return "–"
    if ours is None or peer == 0:
        return render(peer)
    return f"{render(peer)} ({ours / peer:.2g})"


def verdict(ok):
    return "**yes**" if ok else "**NO**"


def main():
    raw_path, machine_path, out_dir = sys.argv[1:4]
    out = Path(out_dir)
    f = Figures(load(raw_path))
    machine = [
        line.split(": ", 1) for line in Path(machine_path).read_text().splitlines() if ": " in line
    ]

    info = dict(machine)
    load_before = info.get("load average (1, 5, 15 min) at the start", "?")
    nproc_text = info.get("CPU", "?")
    rtt = f.median("loopback", "ping", "rtt_ms")
    rows = []
    met = []

    def row(case, measure, ours, peers, render, target, ok):
        cells = [with_ratio(ours, p, render) for p in peers]
        rows.append([case, measure, render(ours) if ours is not None else "–", *cells, target,
                     verdict(ok) if ok is not None else "–"])
        if ok is not None:
            met.append(ok)

    for case, title in CASES:
        whole = f.whole(case, "tobrik")
        per = f.per_address(case, "tobrik")
        peers_whole = [f.whole(case, tool) for tool, _ in PEERS]
        peers_per = [f.per_address(case, tool) for tool, _ in PEERS]
        if case in ("loopback", "names"):
            row(title, "whole sweep, median", whole, peers_whole, ms, "≤ 500 ms",
                whole is not None and whole <= 500)
            limit = (rtt or 0) + 1
            row(title, "per address, median", per, peers_per, ms,
                f"≤ round trip + 1 ms = {limit:.3f} ms", per is not None and per <= limit)
        elif case == "silent":
            row(title, "per address, median", per, peers_per, ms, "500–505 ms",
                per is not None and 500 <= per <= 505)
            top = f.percentile(case, "tobrik", "address_ms", 1.0)
            row(title, "per address, slowest", top, [None] * 4, ms, "500–505 ms",
                top is not None and 500 <= top <= 505)
        else:
            row(title, "per address, median", per, peers_per, ms, "< 1 ms",
                per is not None and per < 1)
            top = f.percentile(case, "tobrik", "address_ms", 1.0)
            row(title, "per address, slowest", top, [None] * 4, ms, "< 1 ms",
                top is not None and top < 1)

    # The same loopback sweep through the echo helper, with the ping group
    # range closed; the peers are those of the ping-socket rows. An address
    # may cost at most 0.03 ms more than over the ping socket in the same
    # run, and at most 1.5 times nmap's figure.
    helper_whole = f.whole("loopback-helper", "tobrik")
    if helper_whole is not None:
        title = "255 answering, through the helper"
        row(title, "whole sweep, median", helper_whole,
            [f.whole("loopback", t) for t, _ in PEERS], ms, "≤ 500 ms", helper_whole <= 500)
        helper_per = f.per_address("loopback-helper", "tobrik")
        ping_per = f.per_address("loopback", "tobrik")
        nmap_per = f.per_address("loopback", "nmap")
        bounds = [b for b in (ping_per and ping_per + 0.03, nmap_per and 1.5 * nmap_per) if b]
        limit = min(bounds) if bounds else None
        row(title, "per address, median", helper_per,
            [f.per_address("loopback", t) for t, _ in PEERS], ms,
            f"≤ ping socket + 0.03 ms and ≤ 1.5 × nmap = {ms(limit)}",
            helper_per is not None and limit is not None and helper_per <= limit)

    # The same loopback sweep with the window on an X server (Xvfb).
    x11_whole = f.whole("loopback-x11", "tobrik")
    if x11_whole is not None:
        x11_per = f.per_address("loopback-x11", "tobrik")
        title = "255 answering, window on Xvfb"
        row(title, "whole sweep, median", x11_whole, [None] * 4, ms, "≤ 500 ms",
            x11_whole <= 500)
        limit = (rtt or 0) + 1
        row(title, "per address, median", x11_per, [None] * 4, ms,
            f"≤ round trip + 1 ms = {limit:.3f} ms", x11_per is not None and x11_per <= limit)

    def resources(after):
        values = f.raw.get(("resources", "tobrik", f"after_{after}"))
        if not values:
            return None
        rss, fds, sockets = (int(v) for v in values[-1].split())
        return rss, fds, sockets

    start, first, last = resources(0), resources(1), resources(50)
    peers_rss = [f.median("loopback", tool, "maxrss_kb") if tool != "ping-loop" else None
                 for tool, _ in PEERS]
    if start and first and last:
        growth = last[0] - first[0]
        row("50 sweeps of 255", "resident memory after sweep 1 → 50 (peers: peak of one sweep)",
            last[0], peers_rss, kb, "flat: growth ≤ 512 KiB", growth <= 512)
        rows[-1][2] = f"{kb(first[0])} → {kb(last[0])} ({growth:+d} KiB)"
        row("50 sweeps of 255", "open descriptors (sockets) before → after", None,
            [None] * 4, str, "unchanged, one echo socket kept",
            last[1] == start[1] and last[2] <= 1)
        rows[-1][2] = f"{start[1]} ({start[2]}) → {last[1]} ({last[2]})"
    up = f.median("startup", "tobrik", "mapped_ms")
    peers_up = [f.median("startup", tool, "run_ms") for tool, _ in PEERS]
    row("start-up", "process start → window mapped, median of 10 (peers: start → exit, "
        "one loopback address)", up, peers_up, ms, "< 300 ms", up is not None and up < 300)

    # A name server that never answers (bench/time_dead_name_server.sh).
    dead_up = f.median("dead-dns", "tobrik", "mapped_ms")
    dead_stop = f.median("dead-dns", "tobrik", "stop_ms")
    if dead_up is not None or dead_stop is not None:
        title = "name server never answers"
        runs = len(f.numbers("dead-dns", "tobrik", "mapped_ms"))
        row(title, f"process start → window mapped, host name not in the hosts file, median "
            f"of {runs}", dead_up, [None] * 4, ms, "< 300 ms",
            dead_up is not None and dead_up < 300)
        runs = len(f.numbers("dead-dns", "tobrik", "stop_ms"))
        row(title, f"中止 during a look-up → end of the sweep, median of {runs}", dead_stop,
            [None] * 4, ms, "≤ 2.5 s", dead_stop is not None and dead_stop <= 2500)

    header = ["case", "measure", "Tobrik"] + [f"`{cmd}`" for _, cmd in PEERS] + ["target", "met"]
    table = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    table += ["| " + " | ".join(r) + " |" for r in rows]

    # Sanity: what every tool found, and what nmap did.
    checks = []
    for case, title in CASES:
        parts = []
        for tool, _ in PEERS:
            answered = f.text(case, tool, "answered")
            count = f.text(case, tool, "addresses")
            if answered:
                parts.append(f"{tool} {answered}/{count}")
        checks.append(f"- {title}: answered {', '.join(parts)}; Tobrik logged every address "
                      f"with the expected result (the run fails otherwise).")
    nmap_notes = []
    for case in ("loopback", "silent", "reject"):
        sent = f.text(case, "nmap", "raw_sent", "?")
        reason = f.text(case, "nmap", "reason")
        no_route = f.text(case, "nmap", "no_route", "0")
        up = f"hosts up by {reason}" if reason else "no host reported up"
        note = f"{case}: {sent} raw packets sent, {up}"
        if no_route not in ("", "0"):
            note += f", {no_route} targets dropped before sending (\"failed to determine route\")"
        nmap_notes.append(note)

    socket = f.text("loopback", "tobrik", "echo_socket", "?")
    net = f.median("loopback", "tobrik-net", "probe_ms")
    silent_net = f.median("silent", "tobrik-net", "probe_ms")
    lines = [
        "# Tobrik benchmark results",
        "",
        "Produced by `scripts/bench.sh`; every figure is from the same run, on the same",
        "network-namespace lab (`tests/lab/in_lab.sh`). Times are medians; a peer's cell",
        "shows its figure and, in brackets, the ratio Tobrik ÷ peer (below 1: Tobrik is",
        "faster or smaller). Per-address figures of fping and nmap are the median run",
        "divided by the number of addresses (they probe in parallel); the ping loop and",
        "Tobrik are timed address by address. Peers' times include their process start.",
        "",
        f"Load average (1, 5, 15 min) when the measurement started: {load_before}; "
        f"{nproc_text}. Other work on the machine at the time shows as noise, mostly in "
        f"the slowest-address rows.",
        "",
        *table,
        "",
        "![Per-address cost by case](per-address.png)",
        "",
        "## How it was measured",
        "",
        f"- Tobrik: the real `frmMain` on Qt's offscreen platform (`bench/SweepBench.cpp`), "
        f"the confirmation answered OK by the bench's window services, real ICMP "
        f"({socket} ICMP socket, kept across the probes; the helper row: the echo helper "
        f"tobrik-echo, started as the window opens and kept, holding the raw ICMP socket, "
        f"with the ping group range closed, 0.6 s before each sweep, in which the "
        f"helper's pace fills as it does while a user types a range: a burst of 256 "
        f"requests, then 500 a second; a sweep as soon as the window opens goes at that "
        f"pace, {ms(f.percentile('loopback-helper-again', 'tobrik', 'sweep_ms', 1.0))}) "
        f"and the real resolver; the log is written and flushed per "
        f"line and both labels are repainted per address. An address's cost runs from the "
        f"sweep loop's event processing for it to the one for the next address (the last "
        f"one to the end of the click). 10 sweeps per answering case, 2 of the silent one, "
        f"10 of each rejecting /24.",
        "- The loopback sweep is also measured with the window on the lab's Xvfb (Qt's xcb "
        "platform), where each label repaint is sent to an X server as it would be for a "
        "user; the peers' figures are those of the offscreen rows.",
        f"- Loopback round trip (iputils `ping -c 100 -i 0.01 127.0.0.2`, mean): {ms(rtt)}; "
        f"Tobrik's network procedure alone (`PingHost` over the kept socket): {ms(net)} per "
        f"address.",
        f"- Silent addresses: Tobrik's network procedure alone takes {ms(silent_net)} per "
        f"address: the 500 ms wait is one poll() (`Exchange::wait`, "
        f"net/linux/EchoExchange.cpp) whose kernel timer slack is 0.1 % of the time-out "
        f"(0.5 ms) for an ordinary process. The window's own work per address "
        f"(event processing {ms(f.median('silent', 'tobrik', 'events_ms'))}, label repaints, "
        f"log line) costs more after a 500 ms sleep than between loopback answers "
        f"({ms(f.median('loopback', 'tobrik', 'events_ms'))} event processing there), as the "
        f"caches are cold. Tobrik's slowest address is listed too, the target being per address.",
        "- Memory: VmRSS and the entries of /proc/self/fd of the bench process holding the "
        "window, before the first sweep and after each; the first sweep warms Qt's caches, so "
        "growth is taken from sweep 1 to sweep 50. Peers: peak RSS (`wait4`) of one "
        "255-address run.",
        "- Start-up: `bench/SpawnTimer.cpp` selects SubstructureNotify on the root window of "
        "an Xvfb of the lab's own (with openbox as window manager), takes the time just "
        "before fork and stops when the first MapNotify of a top-level window titled Tobrik "
        "arrives (openbox's frame holding Tobrik's window; a message box shown instead would "
        "not count), then ends the program. It includes exec and dynamic "
        "loading, QApplication (X connection, platform plugin, fonts, translations), the "
        "instance lock, Form_Load's look-ups of the local host (host name lo-2, resolved "
        "from the lab's hosts file) and show(); not the first paint. One warm-up run is left "
        "out.",
        f"- fping 5.1 sends in parallel (10 ms between targets) and retries by default, but "
        f"only in its alive mode (no `-c`): with `-c1` it sends exactly one request per target, "
        f"so `-r0` changes nothing here. In alive mode (`fping -t500`, default 3 retries with "
        f"back-off) the 20 silent addresses took {f.text('silent', 'fping-alive', 'elapsed_s', '?')} s "
        f"and {f.text('silent', 'fping-alive', 'echos', '?')} requests.",
        f"- nmap inside the namespace: {'; '.join(nmap_notes)}. nmap takes 127.0.0.0/8 "
        f"(and the lab's own addresses) as local and reports them up without probing "
        f"(\"localhost-response\"), so its loopback figures are not ICMP sweeps.",
        "- Name server that never answers: a second lab (`bench/time_dead_name_server.sh`) whose "
        "`nsswitch.conf` says `hosts: files dns` and whose name server (inside the lab) reads "
        "every query and answers none; glibc's defaults (5 s, 2 attempts). The host name is "
        "missing from the hosts file; the peer 10.77.0.50 answers pings but has no name there. "
        "Start-up as above, on that lab's Xvfb; the stop: a sweep of 10.77.0.50–60 with names, "
        "中止 clicked (xdotool) once the name server got the peer's query, timed to the "
        "viewer's start that ends the sweep.",
        "- Name look-up peers: `fping -d`, nmap without `-n` and with `--system-dns` (its own "
        "resolver would ask the lab's empty name server), the ping loop followed by "
        "`getent hosts` per answering address.",
        "",
        "## Sanity checks of this run",
        "",
        *checks,
        "",
        "## Machine and load",
        "",
        *[f"- {key}: {value}" for key, value in machine],
        "",
        f"Targets met: {sum(met)} of {len(met)}.",
    ]
    (out / "results.md").write_text("\n".join(lines) + "\n")

    with (out / "per-address.dat").open("w") as dat:
        dat.write("# case tobrik " + " ".join(tool for tool, _ in PEERS) + "\n")
        for case, title in CASES:
            values = [f.per_address(case, "tobrik")] + [f.per_address(case, t) for t, _ in PEERS]
            label = '"' + CHART_LABELS[case] + '"'
            dat.write(label + " " + " ".join("NaN" if v is None else f"{v:.5f}" for v in values)
                      + "\n")

    print("\n".join(table))
    print(f"\nTargets met: {sum(met)} of {len(met)}.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
