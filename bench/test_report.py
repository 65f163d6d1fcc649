#!/usr/bin/env python3
"""Checks that bench/report.py judges the targets and derives the
per-address figures correctly, on made-up measurements."""

import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

REPORT = Path(__file__).with_name("report.py")


def good_run():
    """Raw lines of a run that meets every target."""
    lines = []

    def add(case, tool, metric, *values):
        lines.extend(f"{case}\t{tool}\t{metric}\t{v}" for v in values)

    for case, per in (("loopback", 0.03), ("names", 0.05)):
        add(case, "tobrik", "address_ms", *([per] * 255))
        add(case, "tobrik", "sweep_ms", 10, 12, 11)
        add(case, "fping", "run_ms", 2550, 2600, 2560)
        add(case, "fping", "addresses", 255)
        add(case, "fping", "answered", 255)
        # Two passes of the ping loop: 255 x 4 ms and 255 x 6 ms.
        add(case, "ping-loop", "address_ms", *([4] * 255 + [6] * 255))
        add(case, "ping-loop", "addresses", 255)
    add("loopback", "ping", "rtt_ms", 0.02)
    add("loopback-x11", "tobrik", "address_ms", *([0.2] * 255))
    add("loopback-x11", "tobrik", "sweep_ms", 60)
    add("silent", "tobrik", "address_ms", *([501.0] * 39 + [502.0]))
    add("silent", "fping", "run_ms", 700)
    add("silent", "fping", "addresses", 20)
    add("reject", "tobrik", "address_ms", *([0.03] * 19 + [0.4]))
    add("resources", "tobrik", "after_0", "29000 6 0")
    add("resources", "tobrik", "after_1", "29500 6 0")
    add("resources", "tobrik", "after_50", "29600 6 0")
    add("startup", "tobrik", "mapped_ms", 40, 50, 45)
    return lines


def report(lines):
    """Runs report.py; returns {(case, measure): row cells} and results.md."""
    with tempfile.TemporaryDirectory() as folder:
        raw = Path(folder, "raw.tsv")
        raw.write_text("\n".join(lines) + "\n")
        machine = Path(folder, "machine.txt")
        machine.write_text("CPU: test\n")
        subprocess.run([sys.executable, str(REPORT), str(raw), str(machine), folder],
                       check=True, capture_output=True)
        text = Path(folder, "results.md").read_text()
        chart = Path(folder, "per-address.dat").read_text()
    rows = {}
    for line in text.splitlines():
        cells = [c.strip() for c in line.strip("|").split("|")]
        if line.startswith("| ") and len(cells) == 9 and cells[0] != "case":
            rows[(cells[0], cells[1])] = cells
    return rows, text, chart


def met_row(rows, case_prefix, measure_prefix):
    for (case, measure), cells in rows.items():
        if case.startswith(case_prefix) and measure.startswith(measure_prefix):
            return cells
    raise KeyError((case_prefix, measure_prefix))


def met(rows, case_prefix, measure_prefix):
    return met_row(rows, case_prefix, measure_prefix)[-1]


def replace(lines, case, tool, metric, *values):
    kept = [l for l in lines if not l.startswith(f"{case}\t{tool}\t{metric}\t")]
    return kept + [f"{case}\t{tool}\t{metric}\t{v}" for v in values]


class Verdicts(unittest.TestCase):
    def test_a_good_run_meets_every_target(self):
        rows, text, _ = report(good_run())
        self.assertNotIn("**NO**", text)
        self.assertIn("Targets met: 13 of 13.", text)

    def test_each_missed_target_is_reported(self):
        cases = [
            (("255 answering (", "whole"), ("loopback", "tobrik", "sweep_ms", 501)),
            (("255 answering, window on Xvfb", "per address"),
             ("loopback-x11", "tobrik", "address_ms", *([1.1] * 255))),
            # The round trip is 0.02 ms, so 1.03 ms per address is too slow.
            (("255 answering (", "per address"),
             ("loopback", "tobrik", "address_ms", *([1.03] * 255))),
            (("20 silent", "per address"), ("silent", "tobrik", "address_ms", *([499.5] * 40))),
            (("20 silent", "per address, slowest"),
             ("silent", "tobrik", "address_ms", *([501.0] * 39 + [505.5]))),
            (("10 rejected", "per address"), ("reject", "tobrik", "address_ms", *([1.0] * 20))),
            (("50 sweeps", "resident"), ("resources", "tobrik", "after_50", "30100 6 0")),
            (("50 sweeps", "open descriptors"), ("resources", "tobrik", "after_50", "29600 7 1")),
            (("start-up", "process start"), ("startup", "tobrik", "mapped_ms", 310, 320, 305)),
        ]
        for (case, measure), change in cases:
            with self.subTest(case=case, measure=measure):
                rows, text, _ = report(replace(good_run(), *change))
                self.assertEqual(met(rows, case, measure), "**NO**")
                self.assertNotIn("Targets met: 13 of 13.", text)

    def test_missing_figures_are_not_taken_as_met(self):
        lines = [l for l in good_run() if not l.startswith("startup\t")]
        rows, _, _ = report(lines)
        self.assertEqual(met(rows, "start-up", "process start"), "**NO**")


class Figures(unittest.TestCase):
    def test_parallel_peers_are_divided_by_their_address_count(self):
        rows, _, chart = report(good_run())
        # fping: median run 2560 ms over 255 addresses; ratio Tobrik / fping.
        cells = rows[("255 answering (loopback)", "per address, median")]
        self.assertEqual(cells[3], "10 ms (0.003)")
        self.assertIn('"20 silent" 501.00000 35.00000', chart)

    def test_ping_loop_whole_sweep_is_the_median_pass(self):
        rows, _, _ = report(good_run())
        cells = rows[("255 answering (loopback)", "whole sweep, median")]
        # Passes of 1020 ms and 1530 ms: their median is 1275 ms.
        self.assertEqual(cells[6], "1.27 s (0.0086)")

    def test_memory_growth_is_counted_from_the_first_sweep(self):
        rows, _, _ = report(good_run())
        memory = met_row(rows, "50 sweeps", "resident")
        self.assertIn("28.8 MiB → 28.9 MiB (+100 KiB)", memory[2])


if __name__ == "__main__":
    unittest.main()
