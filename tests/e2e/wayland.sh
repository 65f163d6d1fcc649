#!/bin/bash
# The real program in a headless Weston session of the test's own: with
# XWayland beside it (as GNOME and KDE run) it runs on X11 through XWayland;
# with Wayland alone, or a DISPLAY whose X server is gone (dead-x), on
# Wayland. The window opens, a sweep of the pre-filled range logs the local
# host and starts the viewer, and a long sweep stops at 中止; it is driven
# through the accessibility bus, as Wayland lets no program type into
# another. Runs inside the lab with the host name tobrik-ten: the local host
# is 10.0.0.1 and answers, 10.77.0.5-60 are silent.
#
# Usage: wayland.sh xwayland|wayland|dead-x TOBRIK_BINARY

set -u
mode=$1
binary=$2
here="$(cd "$(dirname "$0")" && pwd)"
accessible="$here/../support/accessible.py"

[[ $mode =~ ^(xwayland|wayland|dead-x)$ ]] || {
    echo "usage: $0 xwayland|wayland|dead-x TOBRIK_BINARY" >&2
    exit 2
}
# A session bus of the test's own carries the accessibility bus.
if [ -z "${TOBRIK_OWN_BUS:-}" ]; then
    TOBRIK_OWN_BUS=1 exec dbus-run-session -- "$0" "$@" 2>&1
fi

source "$here/../support/desktop.sh"
needs weston xdotool
[ "$mode" = wayland ] || needs Xwayland
needs_lab

install_program "$binary"
export LANG=C.UTF-8
unset QT_QPA_PLATFORM LC_ALL LANGUAGE DISPLAY WAYLAND_DISPLAY
# The session type as a login sets it: "wayland" for a desktop's session
# (where Qt alone would choose Wayland even with XWayland), "tty" for a
# compositor started from a console.
if [ "$mode" = wayland ]; then
    export XDG_SESSION_TYPE=tty
else
    export XDG_SESSION_TYPE=wayland
fi

# The compositor ends on TERM, so that it removes XWayland's display lock
# and socket; the harness's own clean-up then ends the rest.
compositor=
stop_compositor() {
    if [ -n "$compositor" ]; then
        kill -TERM "$compositor" 2>/dev/null
        within 5 exited "$compositor"
    fi
    cleanup
}
trap stop_compositor EXIT

export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
# The session bus starts the accessibility bus and must hand it this runtime
# folder, else its socket goes under the shared ~/.cache, where two of these
# tests at once would take each other's bus.
dbus-update-activation-environment XDG_RUNTIME_DIR
options=(--backend=headless-backend.so --socket=tobrik-wayland --no-config
    --width=1024 --height=768 --log="$work/weston.log")
[ "$mode" = xwayland ] && options+=(--xwayland)
weston "${options[@]}" 2>/dev/null &
compositor=$!
children+=("$compositor")
wait_until 10 "the compositor" test -S "$XDG_RUNTIME_DIR/tobrik-wayland"
export WAYLAND_DISPLAY=tobrik-wayland
if [ "$mode" = xwayland ]; then
    x_display() { grep -o "xserver listening on display :[0-9]*" "$work/weston.log"; }
    wait_until 10 "XWayland" x_display
    DISPLAY=:$(x_display | grep -o "[0-9]*$")
    export DISPLAY
elif [ "$mode" = dead-x ]; then
    # A DISPLAY left behind by an XWayland that crashed or was turned off.
    display=590
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    export DISPLAY=:$display
fi

"$accessible" enable || fail "the accessibility bus did not start"
start_program
app=$started
"$accessible" window "$app" Tobrik 15 ||
    fail "no window titled Tobrik on the $mode session"
if [ "$mode" = xwayland ]; then
    has_window "$app" Tobrik || fail "the window is not an X11 window on XWayland ($DISPLAY)"
    echo "ok   - the window opens on X11 through XWayland"
else
    echo "ok   - the window opens on Wayland (${DISPLAY:-no DISPLAY})"
fi

# start_sweep: as the harness's, through the accessibility bus.
start_sweep() {
    rm -f "$log"
    start_button=$("$accessible" press "$app" Tobrik 開始 10) || fail "no button 開始"
    if ! "$accessible" press "$app" 処理の確認 OK 10 >/dev/null; then
        "$accessible" names "$app" 処理の確認 1 >&2
        fail "no confirmation box with OK"
    fi
}

start_sweep
wait_until 10 "the sweep to start the viewer" viewers_are 1
[ "$(log_records)" = "10.0.0.1,--> OK," ] ||
    fail "the sweep of the pre-filled 10.0.0.1 logged: $(cat -A "$log")"
[ "$(cat "$viewer_calls")" = "$log" ] || fail "viewer calls: $(cat "$viewer_calls")"
echo "ok   - a sweep of the pre-filled range logs 10.0.0.1 and starts the viewer"
exited "$app" && fail "the program ended after the sweep"

# 10.77.0.5-60: half a second each; the start's first and third octets stay.
for box in "スタートIP 第2オクテット=77" "スタートIP 第4オクテット=5" "エンドIP 第4オクテット=60"; do
    "$accessible" type "$app" Tobrik "${box%=*}" "${box#*=}" 5 || fail "cannot type into ${box%=*}"
done
start_sweep
wait_for_sweep_start 10.77.0.5 || fail "the sweep of 10.77.0.5-60 did not start: $(cat -A "$log")"
"$accessible" press "$app" Tobrik 中止 10 "$start_button" >/dev/null || fail "no button 中止 during the sweep"
pressed=$(log_lines) # the press is answered once the program took it
wait_until 10 "the stopped sweep to start the viewer" viewers_are 2
lines=$(log_lines)
sleep 1 # two more time-outs' worth: a sweep still running would add lines
# The stop takes effect before the next address: at most the line being
# written as the press was answered follows.
[ "$(log_lines)" = "$lines" ] && ((lines <= pressed + 1)) && log_whole ||
    fail "the log after 中止 at line $pressed: $(cat -A "$log")"
echo "ok   - 中止 ends a sweep of 10.77.0.5-60 after $lines addresses"
echo "$mode session: ok"
