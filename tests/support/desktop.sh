# Helpers for tests that drive the real program as a person would: an X
# server (and window manager) of the test's own, the program in a folder of
# its own (the log lands beside it) with a viewer that records its calls,
# other users and wine. Source it; it cleans up on exit.

set -u
work=$(mktemp -d /tmp/tobrik-desktop.XXXXXX)
chmod 755 "$work"
children=()
patience=${patience:-10} # seconds a window or message box may take to appear

cleanup() {
    local pid
    for pid in "${children[@]}"; do
        kill -9 "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true # reaped: no "Killed", no errexit
    done
    if [ -n "${wineserver:-}" ]; then
        "$wineserver" -k 2>/dev/null || true
        "$wineserver" -w 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# fail MESSAGE: ends the test, keeping a screenshot in $TOBRIK_ARTIFACTS (/tmp).
fail() {
    echo "FAIL: $*" >&2
    if [ -s "$work/program-errors" ]; then
        echo "the program's standard error:" >&2
        cat "$work/program-errors" >&2
    fi
    # What the program and its children were doing: a window that does not
    # come shows where its threads wait.
    if [ -n "${started:-}" ] && [ -d "/proc/$started" ]; then
        echo "the program's threads and children (state, wait channel):" >&2
        ps -L -o pid,lwp,stat,etime,wchan:28,comm -p "$started" --ppid "$started" >&2 || true
    fi
    if [ -n "${DISPLAY:-}" ]; then
        echo "the X server's windows, and the window manager:" >&2
        xwininfo -root -tree 2>&1 | grep -v -e '^$' -e 'has no name' | head -20 >&2
        ps -o pid,stat,etime,wchan:28,args -C openbox >&2 || true
    fi
    if [ -n "${DISPLAY:-}" ] && command -v import >/dev/null; then
        local shot="${TOBRIK_ARTIFACTS:-/tmp}/tobrik-failure-$(basename "$0" .sh).png"
        import -window root "$shot" 2>/dev/null && echo "screen at failure: $shot" >&2
    fi
    exit 1
}

# within SECONDS COMMAND...: polls COMMAND every 50 ms; false if it never succeeds.
within() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || return 1
        sleep 0.05
    done
}

# wait_until SECONDS DESCRIPTION COMMAND...: as within; a time-out ends the test.
wait_until() {
    local seconds=$1 what=$2
    shift 2
    within "$seconds" "$@" || fail "timed out after ${seconds}s waiting for $what"
}

# needs TOOL...: fails when a tool is missing; needs_lab outside the lab.
needs() {
    local tool
    for tool; do
        command -v "$tool" >/dev/null || fail "$tool is missing (scripts/packages/test.txt)"
    done
}
needs_lab() { [ "${TOBRIK_LAB:-}" = 1 ] || fail "run me inside the lab: tests/lab/in_lab.sh --hostname tobrik-ten -- $0"; }

# start_dead_name_server SECONDS: a name server that logs queries in $queries
# and never answers, and a peer 10.77.0.50 that answers pings but has no
# name; both last SECONDS.
start_dead_name_server() {
    local here
    here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    queries="$work/queries"
    : >"$queries"
    python3 "$here/lab/forward_only_dns.py" --silent --log="$queries" --lifetime="$1" \
        >"$work/dns-ready" &
    children+=($!)
    wait_until 10 "the name server" grep -q ready "$work/dns-ready"
    python3 "$here/fault/late_responder.py" 10.77.0.50 0 "$1" >"$work/peer" &
    children+=($!)
    wait_until 10 "the peer" grep -q ready "$work/peer"
    # The first frame to a new neighbour on the lab's ARP-less link is lost;
    # this ping's is, so the program's first probe is answered.
    ping -c2 -i 0.2 -W1 10.77.0.50 >/dev/null || true
}

# peer_queries: the reverse queries for the peer that the name server got;
# more_peer_queries N: true once there are more than N.
peer_queries() { grep -c '^50\.0\.77\.10\.in-addr\.arpa' "$queries" || true; }
more_peer_queries() { [ "$(peer_queries)" -gt "$1" ]; }

# sweep_peer END_OCTET: in $window, a sweep with names from the peer to
# END_OCTET, confirmed; returns once the peer's name is being looked up.
sweep_peer() {
    local asked
    asked=$(peer_queries)
    click "${OPT_YES[@]}"
    type_range 10 77 0 50 "$1"
    start_sweep
    wait_until 10 "the look-up of the peer" more_peer_queries "$asked"
}

# Centres of the controls, in the window's client coordinates.
SIP0=(91 19)
EIP3=(206 47)
OPT_YES=(72 84) # "する"
START=(213 189)

# click X Y: clicks $window at X, Y of its client area, giving it the focus
# first as a person's click would; type_into X Y TEXT: clicks a text box
# there and replaces its text with TEXT; type_range A B C D E: the start
# address A.B.C.D and the end octet E, box by box with Tab between them.
click() {
    focus "$window"
    xdotool mousemove --window "$window" "$1" "$2" click 1
}
type_into() {
    click "$1" "$2"
    xdotool key ctrl+a BackSpace
    [ -z "$3" ] || xdotool type --delay 20 "$3"
}
type_range() {
    type_into "${SIP0[@]}" "$1"
    local octet
    for octet in "$2" "$3" "$4"; do
        xdotool key Tab
        xdotool type --delay 20 "$octet"
    done
    type_into "${EIP3[@]}" "$5"
}

# start_x_server: an X server of the test's own on a free display. It never
# resets: by default it does when its last client leaves (a poll, say,
# before openbox or the program has connected), and a client that connects
# during the reset, which under load takes seconds, is turned away.
start_x_server() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
    children+=($!)
    wait_until 10 "the X server" test -s "$work/display"
    export DISPLAY=":$(head -n1 "$work/display")"
}

# start_desktop [corner]: the X server with a window manager on it. With
# "corner", openbox puts every window that asks for no place of its own into
# the screen's top left corner, where by default it would centre a dialog.
start_desktop() {
    start_x_server
    local config=()
    if [ "${1:-}" = corner ]; then
        sed 's|^<applications>$|&<application class="*"><position><x>0</x><y>0</y></position></application>|' \
            /etc/xdg/openbox/rc.xml >"$work/openbox.xml"
        grep -q '<application class="\*"><position>' "$work/openbox.xml" ||
            fail "openbox's rc.xml has no applications section"
        config=(--config-file "$work/openbox.xml")
    fi
    openbox --sm-disable "${config[@]}" >"$work/openbox.log" 2>&1 &
    children+=($!)
    # Generous for a first start under load; an openbox that ended fails at
    # once, saying why.
    within 60 eval "wmctrl -m || ! kill -0 $!" || true
    wmctrl -m >/dev/null 2>&1 || fail "no window manager: $(cat "$work/openbox.log")"
    # Openbox answers wmctrl once it owns the screen, before its event loop
    # runs: a window mapped in between can stay unmanaged and never show
    # (seen on fresh machines, where its first start is slow). A probe window
    # it has managed shows it ready; a probe it lost is shown anew.
    within 60 manages_a_probe || fail "the window manager shows no window: $(cat "$work/openbox.log")"
    window_manager=1
}

# manages_a_probe: whether the window manager takes a new window within 2 s.
manages_a_probe() {
    local probe managed=0
    xmessage -title tobrik-wm-probe -timeout 10 probe >/dev/null 2>&1 &
    probe=$!
    within 2 eval 'xprop -name tobrik-wm-probe WM_STATE | grep -q Normal' || managed=1
    kill "$probe" 2>/dev/null
    wait "$probe" 2>/dev/null
    return "$managed"
}

# install_program BINARY: the program in $work/app (writable by its owner
# alone, else the log would not be there), a recording viewer first on PATH.
install_program() {
    mkdir -p -m 755 "$work/app" "$work/bin"
    install -m 755 "$1" "$work/app/tobrik"
    # Its echo helper beside it, as the build puts it.
    [ ! -e "${1%/*}/tobrik-echo" ] || install -m 755 "${1%/*}/tobrik-echo" "$work/app/"
    program="$work/app/tobrik"
    log="$work/app/tobrik.log"
    viewer_calls="$work/viewer-calls"
    : >"$viewer_calls"
    cat >"$work/bin/xdg-open" <<RECORDER
#!/bin/sh
printf '%s\n' "\$*" >>"$viewer_calls"
RECORDER
    chmod 755 "$work/bin/xdg-open"
    export PATH="$work/bin:$PATH"
}

# use_wine: quiet 64-bit wine in $WINEPREFIX, not offering Mono or Gecko.
use_wine() {
    [ -n "${WINEPREFIX:-}" ] || fail "wine needs WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wine=/usr/lib/wine/wine64
    wineserver=/usr/lib/wine/wineserver64
    export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree=;mshtml=}
}

# install_windows_program FOLDER [--in-place]: the Windows program's release
# folder in $work/app, or with --in-place FOLDER itself (a copy installed in
# the prefix), started under wine. Its viewer is wine's own notepad.
install_windows_program() {
    use_wine
    local app="$work/app"
    mkdir -p "$work/bin"
    [ "${2:-}" = --in-place ] && app=$1 || { mkdir -p "$app" && cp -r "$1"/. "$app/"; }
    log="$app/tobrik.log"
    program="$work/bin/tobrik"
    printf '#!/bin/sh\nexec %s "%s"\n' "$wine" "$app/tobrik.exe" >"$program"
    chmod 755 "$program"
}

# start_wineserver: a wineserver of the test's own for $WINEPREFIX, after
# one left from an earlier run; stopped on exit. Wine's desktop process,
# the clipboard's bridge, joins the display of the first program.
start_wineserver() {
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
    "$wineserver" -p >>"$work/program-errors" 2>&1 || fail "cannot start the wineserver"
}

# run_as USER COMMAND...: execs COMMAND (so: in a subshell or the
# background) as USER (a name or a bare uid), with its group alone and no
# capabilities, in a home $work/home-USER and a runtime folder of its own.
run_as() {
    local user=$1 home="$work/home-$1" group
    shift
    group=$(id -gn "$user" 2>/dev/null) || group=$user
    mkdir -p -m 0700 "$home" "$home/runtime"
    chown -R "$user:$group" "$home"
    cd "$home" || exit 1
    exec setpriv --reuid="$user" --regid="$group" --clear-groups --inh-caps=-all -- \
        env -u XDG_STATE_HOME HOME="$home" XDG_RUNTIME_DIR="$home/runtime" "$@"
}

# start_program [PREFIX...]: one instance, through PREFIX (such as run_as
# nobody), with the arguments in program_args; its pid in $started.
program_args=()
start_program() {
    "$@" "$program" "${program_args[@]}" 2>>"$work/program-errors" &
    started=$!
    children+=("$started")
}

# open_window [PREFIX...]: start_program, then waits for the window: the
# pid in $pid, the window's id in $window.
open_window() {
    start_program "$@"
    pid=$started
    wait_until "$patience" "the window" has_window "$pid" Tobrik
    window=$(window_of "$pid" Tobrik)
}

# window_of PID TITLE: the id of PID's (any program's when PID is empty)
# window titled exactly TITLE. xdotool's search dies when a window goes
# away during its walk, so an empty answer is asked again before it counts.
window_of() {
    local id='' owner=()
    [ -n "$1" ] && owner=(--pid "$1")
    for _ in 1 2 3; do
        id=$(xdotool search --all --onlyvisible "${owner[@]}" --name "^$2\$" 2>/dev/null | head -1) || true
        [ -n "$id" ] && break
        sleep 0.05
    done
    echo "$id"
}

has_window() { [ -n "$(window_of "$1" "$2")" ]; }
lacks_window() { ! has_window "$1" "$2"; }

# focus WINDOW: gives WINDOW the focus (without a window manager nothing
# gives it back when a message box closes; a person's click would); press
# WINDOW KEYS...: then types KEYS into it.
focus() {
    if [ -n "${window_manager:-}" ]; then
        xdotool windowactivate --sync "$1" >/dev/null 2>&1
    else
        xdotool windowfocus --sync "$1" >/dev/null 2>&1
    fi
}
press() {
    focus "$1"
    shift
    xdotool key --delay 20 "$@"
}

# answer PID TITLE: presses Return in PID's (any program's when empty)
# message box TITLE once it shows; false when it does not come or go.
answer() {
    within "$patience" has_window "$1" "$2" || return 1
    press "$(window_of "$1" "$2")" Return
    within 10 lacks_window "$1" "$2"
}

# confirm: answers the confirmation of a sweep in $pid's window (any
# program's when box_owner is set empty: wine's boxes are not the pid's).
confirm() { answer "${box_owner-$pid}" "処理の確認" || fail "no confirmation box to answer"; }

# start_sweep: clicks 開始 in $window and confirms; sweep_by_keys
# [END_OCTET]: in a fresh $window (the focus in the start's last octet)
# types END_OCTET into the end octet, starts by keyboard and confirms. The
# last sweep's log goes first, so every line counted is this sweep's.
start_sweep() {
    rm -f "$log"
    click "${START[@]}"
    confirm
}
sweep_by_keys() {
    rm -f "$log"
    press "$window" Tab
    [ $# = 0 ] || { xdotool key ctrl+a && xdotool type --delay 20 "$1"; }
    xdotool key --delay 20 Tab Tab space
    confirm
}

# exited PID: true once PID has ended; kill_program PID: ends it at once.
exited() { ! kill -0 "$1" 2>/dev/null; }
kill_program() { kill -9 "$1" 2>/dev/null; wait "$1" 2>/dev/null || true; }

# now_ms: the clock in ms; viewer_count: the viewer's starts (a test with
# another viewer redefines it); viewers N: at least N; viewers_are N: N.
now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }
viewer_count() { wc -l <"$viewer_calls"; }
viewers() { [ "$(viewer_count)" -ge "$1" ]; }
viewers_are() { [ "$(viewer_count)" -eq "$1" ]; }

# log_lines: how many lines of the log end in CR LF; has_lines N: at least N.
log_lines() { if [ -f "$log" ]; then grep -c $'\r$' "$log" || true; else echo 0; fi; }
has_lines() { [ "$(log_lines)" -ge "$1" ]; }

# log_records: the log's lines without time stamp and CR LF; one without a
# whole stamp ("yyyy/mm/dd hh:mm:ss") or CR LF shows as "BAD: " and the
# line. log_whole: every line has its four fields and CR LF.
log_records() {
    [ -f "$log" ] || return 0
    local LC_ALL=C line stamp='^[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2},(.*)'$'\r''$'
    while IFS= read -r line; do
        if [[ $line =~ $stamp ]]; then echo "${BASH_REMATCH[1]}"; else echo "BAD: $line"; fi
    done <"$log"
    [ -z "$(tail -c1 "$log")" ] || echo "BAD: $(tail -n1 "$log") (no line end)"
}
log_whole() { ! log_records | LC_ALL=C grep -qvE '^[0-9.]+,--> (OK|NG),[^,]*$'; }

# wait_for_sweep_start ADDRESS: waits for the log's first line, that of
# ADDRESS (the clipboard is empty by then); false when it does not come.
sweep_started() { head -n1 "$log" 2>/dev/null | grep -q "^[^,]*,${1//./\\.},"; }
wait_for_sweep_start() { within "$patience" sweep_started "$1"; }
