#!/bin/bash
# Ending the program in the middle of a sweep over silent addresses, once by
# closing the window and once by SIGKILL: the process ends promptly, every
# line written stays whole in the log, and no viewer is started. Runs inside
# the lab with the host name tobrik-silent (a silent lab address).
source "$(dirname "$0")/../support/desktop.sh"
start_desktop
install_program "$1"

# A fresh instance sweeps from the pre-filled start address to end octet 90;
# waits for two lines of that sweep in the log.
start_sweep() {
    open_window
    sweep_by_keys 90
    wait_for_sweep_start 10.77.0.50 || fail "the sweep did not start"
    wait_until 10 "two log lines" has_lines 2
}

check_log() {
    local lines
    lines=$(log_lines)
    [ "$lines" -ge 2 ] || fail "only $lines lines survived"
    # Every line is complete: four fields and CR LF.
    [ "$(grep -c $',--> NG,\r$' "$log")" = "$(wc -l <"$log")" ] || fail "a damaged line: $(cat -A "$log")"
    [ "$(tail -c 2 "$log" | od -An -tx1 | tr -d ' ')" = "0d0a" ] || fail "the log does not end with CR LF"
    [ ! -s "$viewer_calls" ] || fail "a viewer was started: $(cat "$viewer_calls")"
}

start_sweep
started_at=$SECONDS
wmctrl -i -c "$window"
wait_until 3 "the program to end after closing" exited "$pid"
check_log
echo "closed mid-sweep after $((SECONDS - started_at))s with $(log_lines) lines: ok"

start_sweep
kill_program "$pid"
check_log
echo "killed mid-sweep with $(log_lines) lines: ok"
