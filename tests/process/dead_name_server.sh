#!/bin/bash
# The real program with a name server that never answers (hosts: files
# dns), a host name the hosts file lacks and a peer, 10.77.0.50, that
# answers pings but has no name there. The window opens at once with the
# default route's interface address; a look-up of the peer holds the window
# for its bound alone: the peer is logged without a name, and a stop or a
# close during the look-up is taken within 3 s.
#
# Runs inside the lab: in_lab.sh --hostname tobrik-lost --nsswitch
# "hosts: files dns" --uplink 10.78.0.5/24 --default-route up0 -- $0 BINARY
source "$(dirname "$0")/../support/desktop.sh"
needs_lab

start_dead_name_server 600

start_desktop
install_program "$1"

# The window opens at once (timing: the resolver alone would take 20 s),
# pre-filled with the uplink's address, which a sweep names after the host.
begun=$(now_ms)
open_window
took=$(($(now_ms) - begun))
[ "$took" -lt 2000 ] || fail "the window took ${took} ms to open"
click "${OPT_YES[@]}"
start_sweep
wait_until 5 "the sweep of the own address" viewers 1
[ "$(log_records)" = "10.78.0.5,--> OK,tobrik-lost" ] || fail "own address: $(cat -A "$log")"
echo "window after ${took} ms, pre-filled with 10.78.0.5 named tobrik-lost: ok"

# The peer: --> OK and no name, within 3 s (timing).
sweep_peer 50
begun=$(now_ms)
wait_until 3 "the sweep of the peer to end" viewers 2
[ "$(log_records)" = "10.77.0.50,--> OK," ] || fail "peer: $(cat -A "$log")"
echo "peer logged without a name $(($(now_ms) - begun)) ms into its look-up: ok"

# 中止 during the peer's look-up: the sweep ends within 3 s, with one viewer
# and the peer's line alone.
sweep_peer 60
click "${START[@]}"
begun=$(now_ms)
wait_until 3 "the sweep to end after 中止" viewers 3
took=$(($(now_ms) - begun))
sleep 1
viewers_are 3 || fail "viewers started: $(cat "$viewer_calls")"
[ "$(log_records)" = "10.77.0.50,--> OK," ] || fail "log after 中止: $(cat -A "$log")"
echo "中止 during the look-up ended the sweep after ${took} ms: ok"

# Closing the window during the peer's look-up ends the process within 3 s,
# with the lines so far kept whole.
sweep_peer 60
wmctrl -i -c "$window"
begun=$(now_ms)
wait_until 3 "the program to end after closing" exited "$pid"
took=$(($(now_ms) - begun))
log_whole && [ "$(log_records | head -n1)" = "10.77.0.50,--> OK," ] ||
    fail "log after closing: $(cat -A "$log")"
viewers_are 3 || fail "a viewer was started: $(cat "$viewer_calls")"
echo "closed during the look-up: ended after ${took} ms with $(log_lines) lines: ok"
