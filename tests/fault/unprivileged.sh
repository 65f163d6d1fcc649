#!/bin/bash
# The real program run as the unprivileged user nobody, on an X server of
# the test's own inside the lab (host name lab-host-abcde, so the range is
# pre-filled from 10.77.0.1).
#
# Usage: unprivileged.sh MODE PROGRAM
#   read-only-folder  the program's folder is root's and nobody may not write
#                     it (run with a ping group range that includes nobody):
#                     the sweep is refused with the log error, nothing is
#                     logged, no viewer starts, and once the folder is
#                     writable the same window sweeps.
#   capability        a copy with cap_net_raw+ep and the default ping group
#                     range (no ping sockets): real answers through a raw
#                     socket, without root.
#   ping-range        a plain copy and a ping group range that includes
#                     nobody: real answers through a ping socket.
source "$(dirname "$0")/../support/desktop.sh"
mode=$1
start_desktop
install_program "$2"
chmod 666 "$viewer_calls"
case "$mode" in
read-only-folder) ;;
capability)
    chmod 777 "$work/app"
    setcap cap_net_raw+ep "$program" || fail "setcap failed"
    ;;
ping-range) chmod 777 "$work/app" ;;
*) fail "unknown mode $mode" ;;
esac

# The sweep 10.77.0.1-5: .1 and .2 answer, .3 rejects, .4 and .5 are silent.
expected_records=$'10.77.0.1,--> OK,\n10.77.0.2,--> OK,\n10.77.0.3,--> NG,\n10.77.0.4,--> NG,\n10.77.0.5,--> NG,'
records() { sed 's/\r$//' "$log" | cut -d, -f2-; }

open_window run_as nobody
uid=$(awk '/^Uid:/ {print $2}' "/proc/$pid/status")
[ "$uid" = "$(id -u nobody)" ] || fail "the program runs as uid $uid, not nobody"
effective=$(awk '/^CapEff:/ {print $2}' "/proc/$pid/status")
# CAP_NET_RAW is capability 13; nothing else may be effective.
expected_caps=0000000000000000
[ "$mode" = capability ] && expected_caps=0000000000002000
[ "$effective" = "$expected_caps" ] || fail "effective capabilities $effective, not $expected_caps"
echo "$mode: running as nobody (uid $uid), effective capabilities $effective"
sweep_by_keys 5

if [ "$mode" = read-only-folder ]; then
    # The message's wording is checked by UnwritableFolderTest; its title
    # shows that it is the log-open message and not another.
    answer "$pid" "ログエラー" || fail "no log error to answer"
    [ ! -e "$log" ] || fail "a log was created in a folder nobody may not write"
    [ ! -s "$viewer_calls" ] || fail "a viewer was started: $(cat "$viewer_calls")"
    has_window "$pid" Tobrik || fail "the window is gone after the log error"
    echo "read-only folder: refused with the log error, window kept"
    # The same window sweeps once the folder may be written: the Start
    # button kept the focus.
    chmod 777 "$work/app"
    press "$window" space
    confirm
fi

wait_until 20 "the viewer" test -s "$viewer_calls"
[ "$(records)" = "$expected_records" ] || fail "unexpected log: $(records)"
[ "$(cat "$viewer_calls")" = "$log" ] || fail "viewer started with: $(cat "$viewer_calls")"
has_window "$pid" "PingError" && fail "the program says it cannot send ICMP"
exited "$pid" && fail "the program ended"
echo "$mode: swept as nobody with real answers: ok"
