#!/bin/bash
# The real program run as the unprivileged user nobody, on an X server of
# the test's own inside the lab (host name lab-host-abcde, so the range is
# pre-filled from 10.77.0.1).
#
# Usage: unprivileged.sh MODE PROGRAM [PLUGIN]
#   read-only-folder  the program's folder is root's and nobody may not write
#                     it (run with a ping group range that includes nobody):
#                     the log goes to nobody's ~/.local/state/tobrik, and
#                     nothing is written beside the program.
#   capability        a copy with cap_net_raw+ep and the default ping group
#                     range (no ping sockets): real answers through the raw
#                     socket opened at start, without root, and no capability
#                     left once the window is open.
#   capability-stuck  the same copy, where the kernel refuses to change the
#                     capabilities: a message on standard error, a non-zero
#                     exit and no window.
#   ping-range        a plain copy and a ping group range that includes
#                     nobody: real answers through a ping socket.
#   installed         PROGRAM as a package installed it (/usr/bin/tobrik),
#                     with the capability its installation granted and the
#                     default ping group range: as capability, with the log
#                     in nobody's ~/.local/state/tobrik. Nobody's own Qt
#                     plugin PLUGIN (a style), loaded through QT_PLUGIN_PATH,
#                     cannot open a packet socket.
here=$(dirname "$0")
source "$here/../support/desktop.sh"
mode=$1
start_desktop
install_program "$2"
chmod 666 "$viewer_calls"
state_log="$work/home-nobody/.local/state/tobrik/tobrik.log" # run_as's home
case "$mode" in
read-only-folder) log=$state_log ;;
capability | capability-stuck)
    chown nobody "$work/app" # nobody's own folder: the log is beside the program
    setcap cap_net_raw+ep "$program" || fail "setcap failed"
    ;;
ping-range) chown nobody "$work/app" ;;
installed)
    program=$2
    log=$state_log
    [ -f "${3:-}" ] || fail "installed needs the style plugin to plant"
    mkdir -p "$work/home-nobody/plugins/styles"
    cp "$3" "$work/home-nobody/plugins/styles/"
    report="$work/home-nobody/probe-report"
    program_prefix=(env QT_PLUGIN_PATH="$work/home-nobody/plugins" TOBRIK_PROBE_REPORT="$report")
    program_args=(-style tobrikprobe)
    ;;
*) fail "unknown mode $mode" ;;
esac

if [ "$mode" = capability-stuck ]; then
    status=0
    timeout -k 5 20 "$here/capset_refused.py" nobody "$program" 2>"$work/stuck-errors" ||
        status=$?
    [ "$status" != 124 ] && [ "$status" != 137 ] || fail "the program did not end"
    [ "$status" != 0 ] || fail "the program went on although its capabilities stayed"
    grep -q "cannot give up the capabilities" "$work/stuck-errors" ||
        fail "no word on standard error: $(cat "$work/stuck-errors")"
    lacks_window "" Tobrik || fail "a window opened"
    echo "$mode: exit status $status, $(cat "$work/stuck-errors")"
    exit 0
fi

# The sweep 10.77.0.1-5: .1 and .2 answer, .3 rejects, .4 and .5 are silent.
expected_records=$'10.77.0.1,--> OK,\n10.77.0.2,--> OK,\n10.77.0.3,--> NG,\n10.77.0.4,--> NG,\n10.77.0.5,--> NG,'
records() { sed 's/\r$//' "$log" | cut -d, -f2-; }

open_window run_as nobody "${program_prefix[@]}"
uid=$(awk '/^Uid:/ {print $2}' "/proc/$pid/status")
[ "$uid" = "$(id -u nobody)" ] || fail "the program runs as uid $uid, not nobody"
# Whatever the program was granted, it holds nothing once its window is open.
grep '^Cap' "/proc/$pid/status" | sed "s/^/$mode: /"
for set in CapInh CapPrm CapEff CapAmb; do
    caps=$(awk -v s="$set:" '$1 == s {print $2}' "/proc/$pid/status")
    [ "$caps" = 0000000000000000 ] || fail "$set is $caps with the window open"
done
echo "$mode: running as nobody (uid $uid) without capabilities"
if [ "$mode" = installed ]; then
    wait_until 5 "the planted plugin's report" test -s "$report"
    grep -q "refused" "$report" || fail "nobody's plugin: $(cat "$report")"
    echo "$mode: nobody's plugin in the program: $(cat "$report")"
fi
sweep_by_keys 5

wait_until 20 "the viewer" test -s "$viewer_calls"
[ "$(records)" = "$expected_records" ] || fail "unexpected log: $(records)"
[ "$(cat "$viewer_calls")" = "$log" ] || fail "viewer started with: $(cat "$viewer_calls")"
has_window "$pid" "PingError" && fail "the program says it cannot send ICMP"
exited "$pid" && fail "the program ended"
beside="${program%/*}/tobrik.log"
[ "$log" = "$beside" ] || [ ! -e "$beside" ] || fail "a log was written beside the program"
echo "$mode: swept as nobody with real answers: ok"
