#!/bin/bash
# The real program run as the unprivileged user nobody on an X server of the
# test's own inside the lab (host name lab-host-abcde: the range starts at
# 10.77.0.1). Closing the window leaves no helper in any mode.
#
# Usage: unprivileged.sh MODE PROGRAM [PLUGIN]
#   read-only-folder  a program folder of root's (and a ping group range that
#                     includes nobody): the log goes to nobody's
#                     ~/.local/state/tobrik, nothing beside the program.
#   capability        a helper with cap_net_raw+p, the default ping group
#                     range: real answers through it, without root; the
#                     window holds no capability, the helper none once it serves.
#   capability-stuck  the same where the kernel refuses to change capabilities:
#                     the helper serves nothing, all is "--> NG", a PingError says why.
#   ping-range        a plain copy, a ping group range with nobody: real
#                     answers through a ping socket, no helper.
#   installed         /usr/bin/tobrik as its package installed it: as
#                     capability, the log in ~/.local/state/tobrik; nobody's
#                     own style plugin PLUGIN (QT_PLUGIN_PATH) opens no packet
#                     socket and finds no raw socket in the window or its
#                     children during the whole sweep.
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
    setcap cap_net_raw+p "$helper" || fail "setcap failed"
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
# Where the helper serves, it starts as the window opens, so that its pace
# has filled by the first sweep; where ping sockets serve, none starts.
helper_started() { [ -n "$(helpers)" ]; }
case "$mode" in
capability | installed) wait_until 5 "the helper's start" helper_started ;;
*) [ "$mode" = capability-stuck ] || [ -z "$(helpers)" ] || fail "a helper runs beside ping sockets" ;;
esac
echo "$mode: running as nobody (uid $uid) without capabilities"
sweep_by_keys 5
if [ "$mode" = capability-stuck ]; then
    answer "$pid" PingError || fail "no PingError says why every address failed"
fi

wait_until 20 "the viewer" test -s "$viewer_calls"
[ "$(log_records)" = "$expected_records" ] || fail "unexpected log: $(log_records)"
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
