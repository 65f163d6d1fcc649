#!/bin/bash
# Killing the program (SIGKILL) in the middle of a sweep over silent
# addresses: every line written stays whole in the log, and no viewer is
# started. (Closing the window mid-sweep: tests/e2e/e2e.sh.) Runs inside the
# lab with the host name tobrik-silent (a silent lab address).
source "$(dirname "$0")/../support/desktop.sh"
start_desktop
install_program "$1"

open_window
sweep_by_keys 90
wait_for_sweep_start 10.77.0.50 || fail "the sweep did not start"
wait_until 10 "two log lines" has_lines 2
kill_program "$pid"
has_lines 2 && log_whole || fail "a damaged line: $(cat -A "$log")"
viewers_are 0 || fail "a viewer was started: $(cat "$viewer_calls")"
echo "killed mid-sweep with $(log_lines) lines: ok"
