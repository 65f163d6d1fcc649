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
#   capability        a copy whose echo helper has cap_net_raw+ep, and the
#                     default ping group range (no ping sockets): real
#                     answers through the helper, without root; the window
#                     holds no capability, the helper none once it serves.
#   capability-stuck  the same copy, where the kernel refuses to change the
#                     capabilities: the helper refuses to serve, every
#                     address reads "--> NG" and a PingError says why.
#   ping-range        a plain copy and a ping group range that includes
#                     nobody: real answers through a ping socket, no helper.
#   installed         PROGRAM as a package installed it (/usr/bin/tobrik),
#                     its helper with the capability its installation
#                     granted, and the default ping group range: as
#                     capability, with the log in nobody's
#                     ~/.local/state/tobrik. Nobody's own Qt plugin PLUGIN (a
#                     style), loaded through QT_PLUGIN_PATH, can open no
#                     packet socket and finds no raw socket, in the window
#                     nor in its children, during the whole sweep.
# In every mode, closing the window leaves no helper process.
here=$(dirname "$0")
source "$here/../support/desktop.sh"
mode=$1
start_desktop
install_program "$2"
chmod 666 "$viewer_calls"
state_log="$work/home-nobody/.local/state/tobrik/tobrik.log" # run_as's home
helper="$work/app/tobrik-echo"
case "$mode" in
read-only-folder) log=$state_log ;;
capability | capability-stuck)
    chown nobody "$work/app" # nobody's own folder: the log is beside the program
    setcap cap_net_raw+ep "$helper" || fail "setcap failed"
    ;;
ping-range) chown nobody "$work/app" ;;
installed)
    program=$2
    helper=/usr/libexec/tobrik/tobrik-echo
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
caps_of() { getcap "$1" | sed 's/^[^ ]* //'; }
[ -z "$(caps_of "$program")" ] || fail "the program has the capability $(caps_of "$program")"
echo "$mode: getcap $program: '$(caps_of "$program")'; $helper: '$(caps_of "$helper")'"

# The sweep 10.77.0.1-5: .1 and .2 answer, .3 rejects, .4 and .5 are silent.
expected_records=$'10.77.0.1,--> OK,\n10.77.0.2,--> OK,\n10.77.0.3,--> NG,\n10.77.0.4,--> NG,\n10.77.0.5,--> NG,'
[ "$mode" = capability-stuck ] &&
    expected_records=$'10.77.0.1,--> NG,\n10.77.0.2,--> NG,\n10.77.0.3,--> NG,\n10.77.0.4,--> NG,\n10.77.0.5,--> NG,'
records() { sed 's/\r$//' "$log" | cut -d, -f2-; }
helpers() { pgrep -x -P "$pid" tobrik-echo || true; }
no_capabilities() { # PID WHAT
    grep '^Cap' "/proc/$1/status" | sed "s/^/$mode: $2: /"
    for set in CapInh CapPrm CapEff CapAmb; do
        caps=$(awk -v s="$set:" '$1 == s {print $2}' "/proc/$1/status")
        [ "$caps" = 0000000000000000 ] || fail "$set of the $2 is $caps"
    done
}

if [ "$mode" = capability-stuck ]; then
    open_window "$here/capset_refused.py" nobody
else
    open_window run_as nobody "${program_prefix[@]}"
fi
uid=$(awk '/^Uid:/ {print $2}' "/proc/$pid/status")
[ "$uid" = "$(id -u nobody)" ] || fail "the program runs as uid $uid, not nobody"
no_capabilities "$pid" window
[ -z "$(helpers)" ] || fail "a helper runs before the first probe"
echo "$mode: running as nobody (uid $uid) without capabilities"
sweep_by_keys 5
if [ "$mode" = capability-stuck ]; then
    answer "$pid" PingError || fail "no PingError says why every address failed"
fi

wait_until 20 "the viewer" test -s "$viewer_calls"
[ "$(records)" = "$expected_records" ] || fail "unexpected log: $(records)"
[ "$(cat "$viewer_calls")" = "$log" ] || fail "viewer started with: $(cat "$viewer_calls")"
case "$mode" in
ping-range | read-only-folder)
    [ -z "$(helpers)" ] || fail "a helper runs although ping sockets are allowed"
    has_window "$pid" "PingError" && fail "the program says it cannot send ICMP"
    ;;
capability-stuck)
    [ -z "$(helpers)" ] || fail "the helper serves with its capabilities kept"
    lacks_window "$pid" "PingError" || fail "a second PingError in one sweep"
    ;;
*)
    has_window "$pid" "PingError" && fail "the program says it cannot send ICMP"
    serving=$(helpers)
    [ -n "$serving" ] || fail "no helper serves the window"
    no_capabilities "$serving" helper
    ;;
esac
if [ "$mode" = installed ]; then
    grep -q "^packet socket refused" "$report" || fail "nobody's plugin: $(cat "$report")"
    grep "^raw socket" "$report" && fail "nobody's plugin found a raw socket: $(cat "$report")"
    grep -q "^child $serving tobrik-echo: " "$report" ||
        fail "nobody's plugin did not look into the helper: $(cat "$report")"
    echo "$mode: nobody's plugin in the program: $(tr '\n' ';' <"$report")"
fi
exited "$pid" && fail "the program ended"
beside="${program%/*}/tobrik.log"
[ "$log" = "$beside" ] || [ ! -e "$beside" ] || fail "a log was written beside the program"
echo "$mode: swept as nobody with the expected answers: ok"

wmctrl -i -c "$window"
wait_until 10 "the window's end" exited "$pid"
if [ -n "${serving:-}" ]; then
    wait_until 5 "the helper's end" exited "$serving"
    echo "$mode: closing the window left no helper"
fi
