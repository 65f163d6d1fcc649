# Helpers for tests that drive the real program as a person would: an X
# server (and a window manager) of the test's own, the program copied into a
# folder of its own (the log is written beside the executable) and a viewer
# that only records how it was started. Source it; it sets up on load and
# cleans up on exit.

set -u
work=$(mktemp -d /tmp/tobrik-desktop.XXXXXX)
chmod 755 "$work"
children=()

cleanup() {
    for pid in "${children[@]}"; do
        kill -9 "$pid" 2>/dev/null
    done
    if [ -n "${wineserver:-}" ]; then
        "$wineserver" -k 2>/dev/null
        "$wineserver" -w 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# fail MESSAGE: ends the test; a screenshot of the screen at that moment is
# kept in $TOBRIK_ARTIFACTS (default /tmp) for the reader of the failure.
fail() {
    echo "FAIL: $*" >&2
    if [ -s "$work/program-errors" ]; then
        echo "the program's standard error:" >&2
        cat "$work/program-errors" >&2
    fi
    if [ -n "${DISPLAY:-}" ] && command -v import >/dev/null; then
        local shot="${TOBRIK_ARTIFACTS:-/tmp}/tobrik-failure-$(basename "$0" .sh).png"
        import -window root "$shot" 2>/dev/null && echo "screen at failure: $shot" >&2
    fi
    exit 1
}

# within SECONDS COMMAND...: polls COMMAND every 50 ms until it succeeds;
# false when it has not by then.
within() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || return 1
        sleep 0.05
    done
}

# wait_until SECONDS DESCRIPTION COMMAND...: as within, but a time-out ends
# the test.
wait_until() {
    local seconds=$1 what=$2
    shift 2
    within "$seconds" "$@" || fail "timed out after ${seconds}s waiting for $what"
}

# start_x_server: an X server of the test's own on a free display.
start_x_server() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
    children+=($!)
    wait_until 10 "the X server" test -s "$work/display"
    export DISPLAY=":$(head -n1 "$work/display")"
}

# start_desktop: the X server with a window manager on it.
start_desktop() {
    start_x_server
    openbox --sm-disable >/dev/null 2>&1 &
    children+=($!)
    wait_until 10 "the window manager" wmctrl -m
}

# install_program BINARY: the program under test, in $work/app, with a
# recording viewer first on PATH.
install_program() {
    mkdir -p "$work/app" "$work/bin"
    install -m 755 "$1" "$work/app/tobrik"
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

# install_windows_program FOLDER [--in-place]: the Windows program's release
# folder in $work/app, or with --in-place FOLDER itself (a copy installed in
# the prefix), started under wine (64-bit) in the prefix $WINEPREFIX. Its
# viewer is wine's own notepad.
install_windows_program() {
    [ -n "${WINEPREFIX:-}" ] || fail "install_windows_program needs WINEPREFIX"
    local app="$work/app"
    mkdir -p "$work/bin"
    if [ "${2:-}" = --in-place ]; then
        app=$1
    else
        mkdir -p "$app"
        cp -r "$1"/. "$app/"
    fi
    wine=/usr/lib/wine/wine64
    wineserver=/usr/lib/wine/wineserver64
    log="$app/tobrik.log"
    program="$work/bin/tobrik"
    printf '#!/bin/sh
exec %s "%s"
' "$wine" "$app/tobrik.exe" >"$program"
    chmod 755 "$program"
    export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree=;mshtml=}
}

# start_wineserver: a wineserver of the test's own for $WINEPREFIX, on this
# X server (wine's desktop process, which bridges the clipboard, joins the
# display of the first program); stopped on exit.
start_wineserver() {
    "$wineserver" -k 2>/dev/null
    "$wineserver" -w 2>/dev/null
    "$wineserver" -p >>"$work/program-errors" 2>&1 || fail "cannot start the wineserver"
}

# start_program: starts one instance; its pid is in $started.
start_program() {
    "$program" 2>>"$work/program-errors" &
    started=$!
    children+=("$started")
}

# window_of PID TITLE: the id of PID's window titled exactly TITLE.
# xdotool's search dies on a BadWindow error when any window of the display
# goes away while it walks the tree (an instance that just ended), so an
# empty answer is asked again before it counts.
window_of() {
    local id=
    for _ in 1 2 3; do
        id=$(xdotool search --all --onlyvisible --pid "$1" --name "^$2\$" 2>/dev/null | head -1)
        [ -n "$id" ] && break
        sleep 0.05
    done
    echo "$id"
}

has_window() { [ -n "$(window_of "$1" "$2")" ]; }

# press WINDOW KEYS...: activates WINDOW and types KEYS into it.
press() {
    local window=$1
    shift
    xdotool windowactivate --sync "$window" >/dev/null 2>&1
    xdotool key --delay 20 "$@"
}

# exited PID: true once PID has ended.
exited() { ! kill -0 "$1" 2>/dev/null; }

log_lines() { if [ -f "$log" ]; then grep -c $'\r$' "$log"; else echo 0; fi; }
has_lines() { [ "$(log_lines)" -ge "$1" ]; }
