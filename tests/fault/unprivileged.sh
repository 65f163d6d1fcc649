#!/bin/bash
# The real program run as the unprivileged user nobody, on an X server of
# the test's own inside the lab (host name lab-host-abcde, so the range is
# pre-filled from 10.77.0.1).
#
# Usage: unprivileged.sh MODE PROGRAM
#   read-only-folder  the program's folder is root's and nobody may not write
#                     it (run with a ping group range that includes nobody):
#                     the log goes to nobody's ~/.local/state/tobrik, and
#                     nothing is written beside the program.
#   capability        a copy with cap_net_raw+ep and the default ping group
#                     range (no ping sockets): real answers through a raw
#                     socket, without root.
#   ping-range        a plain copy and a ping group range that includes
#                     nobody: real answers through a ping socket.
#   installed         PROGRAM as a package installed it (/usr/bin/tobrik),
#                     with the capability its installation granted and the
#                     default ping group range: real answers through a raw
#                     socket, the log in nobody's ~/.local/state/tobrik.
source "$(dirname "$0")/../support/desktop.sh"
mode=$1
start_desktop
install_program "$2"
chmod 666 "$viewer_calls"
state_log="$work/home-nobody/.local/state/tobrik/tobrik.log" # run_as's home
case "$mode" in
read-only-folder) log=$state_log ;;
capability)
    chown nobody "$work/app" # nobody's own folder: the log is beside the program
    setcap cap_net_raw+ep "$program" || fail "setcap failed"
    ;;
ping-range) chown nobody "$work/app" ;;
installed)
    program=$2
    log=$state_log
    ;;
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
[ "$mode" = capability ] || [ "$mode" = installed ] && expected_caps=0000000000002000
[ "$effective" = "$expected_caps" ] || fail "effective capabilities $effective, not $expected_caps"
echo "$mode: running as nobody (uid $uid), effective capabilities $effective"
sweep_by_keys 5

wait_until 20 "the viewer" test -s "$viewer_calls"
[ "$(records)" = "$expected_records" ] || fail "unexpected log: $(records)"
[ "$(cat "$viewer_calls")" = "$log" ] || fail "viewer started with: $(cat "$viewer_calls")"
has_window "$pid" "PingError" && fail "the program says it cannot send ICMP"
exited "$pid" && fail "the program ended"
beside="${program%/*}/tobrik.log"
[ "$log" = "$beside" ] || [ ! -e "$beside" ] || fail "a log was written beside the program"
echo "$mode: swept as nobody with real answers: ok"
