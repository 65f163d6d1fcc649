#!/bin/bash
# End-to-end test of the real program: runs it on a virtual X server and
# drives it with xdotool as a person would, checking the log it writes and
# the viewer it starts. Meant to run inside the network lab with the host
# name tobrik-ten (tests/lab/in_lab.sh --hostname tobrik-ten -- ...), where
# the lab's truth is: 10.77.0.1 and .2 answer, .3 rejects, .4 and .5-.254
# are silent, and the local host is 10.0.0.1.
#
# Usage: e2e.sh TOBRIK_BINARY WM_CLOSE_BINARY ARTIFACT_DIR
#   WM_CLOSE_BINARY asks a window to close as a window manager would;
#   ARTIFACT_DIR receives screenshots of the window.

set -u

binary=$1
wm_close=$2
artifacts=$3

for tool in Xvfb xdotool xclip xwininfo xprop import; do
    command -v "$tool" >/dev/null || {
        echo "e2e: $tool is missing (scripts/packages/test.txt)" >&2
        exit 1
    }
done
[ "${TOBRIK_LAB:-}" = 1 ] || {
    echo "e2e: run me inside the lab: tests/lab/in_lab.sh --hostname tobrik-ten -- $0" >&2
    exit 1
}

source "$(dirname "$0")/../support/desktop.sh"

passes=0
misses=0
pass() {
    echo "ok   - $*"
    passes=$((passes + 1))
}
# miss MESSAGE: a check that failed; the test goes on to the next one.
miss() {
    echo "FAIL - $*" >&2
    misses=$((misses + 1))
}
die() {
    miss "$*"
    echo "$passes passed, $misses failed"
    exit 1
}

# The program in a folder of the test's own (the log lands beside it), with
# a recorder of its arguments as the viewer, on a virtual X server without a
# window manager: the window's own position and hints are what is checked.
mkdir -p "$artifacts"
install_program "$binary"
export LANG=C.UTF-8
unset QT_QPA_PLATFORM LC_ALL LANGUAGE WAYLAND_DISPLAY
start_x_server

# ---- helpers that act on the window ---------------------------------------

# find_window TITLE: prints the id of the visible window titled exactly TITLE.
find_window() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1; }
window_shown() { [ -n "$(find_window "$1")" ]; }
window_gone() { [ -z "$(find_window "$1")" ]; }

# click X Y: clicks the main window at X, Y of its client area.
click() {
    xdotool mousemove --window "$wid" "$1" "$2" click 1
}
# type_into X Y TEXT: clicks a text box, replaces its text with TEXT.
type_into() {
    click "$1" "$2"
    xdotool key ctrl+a BackSpace
    [ -n "$3" ] && xdotool type --delay 20 "$3"
}
# answer_box TITLE: waits for the message box TITLE and presses Enter in it.
answer_box() {
    within 10 window_shown "$1" || return 1
    local box
    box=$(find_window "$1")
    xdotool windowfocus --sync "$box"
    xdotool key Return
    within 10 window_gone "$1"
}
viewer_count() { wc -l <"$viewer_calls"; }
viewer_count_is() { [ "$(viewer_count)" -eq "$1" ]; }

# Centres of the controls, in the window's client coordinates.
SIP0=(91 19)
EIP3=(206 47)
OPT_YES=(72 84) # "する"
START=(213 189)

# start_sweep: clicks the start button and confirms the box.
start_sweep() {
    click "${START[@]}"
    answer_box "処理の確認"
}
# type_range A B C D E: the start address A.B.C.D and the end octet E, typed
# box by box with Tab between them.
type_range() {
    type_into "${SIP0[@]}" "$1"
    local octet
    for octet in "$2" "$3" "$4"; do
        xdotool key Tab
        xdotool type --delay 20 "$octet"
    done
    type_into "${EIP3[@]}" "$5"
}

began=$SECONDS

# ---- the window appears -----------------------------------------------------

start_program
app_pid=$started
within 10 window_shown Tobrik || die "no window titled Tobrik: $(cat "$work/program-errors")"
wid=$(find_window Tobrik)
pass "the window appears titled Tobrik"
geometry=$(xwininfo -id "$wid")
if grep -q "Width: 240" <<<"$geometry" && grep -q "Height: 212" <<<"$geometry"; then
    pass "the window is 240 x 212"
else
    miss "window size: $geometry"
fi
if grep -q "Absolute upper-left X:  392" <<<"$geometry" &&
    grep -q "Absolute upper-left Y:  278" <<<"$geometry"; then
    pass "the window is centred on the 1024 x 768 screen"
else
    miss "window position: $geometry"
fi
# What the window asks of a window manager: a dialog, transient for the
# application's leader (so no taskbar button), that cannot be resized.
hints=$(xprop -id "$wid" _NET_WM_WINDOW_TYPE WM_TRANSIENT_FOR WM_NORMAL_HINTS)
if grep -q "= _NET_WM_WINDOW_TYPE_DIALOG" <<<"$hints" &&
    grep -q "WM_TRANSIENT_FOR(WINDOW): window id" <<<"$hints" &&
    grep -q "minimum size: 240 by 212" <<<"$hints" &&
    grep -q "maximum size: 240 by 212" <<<"$hints"; then
    pass "a fixed-size dialog transient for its leader window"
else
    miss "window manager hints: $hints"
fi
if xprop -id "$wid" _NET_WM_ICON | head -n1 | grep -q "Icon (128 x 128)"; then
    pass "the window carries the 128 x 128 icon"
else
    miss "no 128 x 128 window icon"
fi
xdotool windowfocus --sync "$wid"
import -window "$wid" "$artifacts/window-start.png"

# ---- a sweep of the pre-filled range: the local host itself -----------------

start_sweep || die "no confirmation box"
within 10 viewer_count_is 1 || die "the first sweep did not end"
if grep -q "^[0-9/]* [0-9:]*,10\.0\.0\.1,--> OK,"$'\r'"\$" "$log"; then
    pass "the range is pre-filled with the local address 10.0.0.1, which answers"
else
    miss "pre-filled sweep log: $(cat -A "$log")"
fi
if [ "$(cat "$viewer_calls")" = "$log" ]; then
    pass "the viewer is started once with the log's path"
else
    miss "viewer calls: $(cat "$viewer_calls")"
fi

# ---- a typed range with host names ----------------------------------------------

click "${OPT_YES[@]}"
type_range 10 77 0 1 4
start_sweep || die "no confirmation box"
within 15 viewer_count_is 2 || die "the sweep of 10.77.0.1-4 did not end"
expected="10.77.0.1,--> OK,lab-host-abcde
10.77.0.2,--> OK,lab-host-abcdef
10.77.0.3,--> NG,
10.77.0.4,--> NG,"
actual=$(cut -d, -f2- "$log" | tr -d '\r')
if [ "$actual" = "$expected" ]; then
    pass "10.77.0.1-4: .1 and .2 answer with their names, .3 rejects, .4 is silent"
else
    miss "log of 10.77.0.1-4:"$'\n'"$actual"
fi
[ "$(tail -n1 "$viewer_calls")" = "$log" ] && pass "the viewer shows the new log" ||
    miss "viewer calls: $(cat "$viewer_calls")"

# ---- a refused range --------------------------------------------------------------

type_into "${SIP0[@]}" 999
click "${START[@]}"
answer_box "処理の確認" || die "no confirmation box"
if answer_box "入力の確認"; then
    pass "an invalid start address is refused with 入力の確認"
else
    miss "no 入力の確認 box for 999.77.0.1"
fi
viewer_count_is 2 || miss "a refused range started the viewer"

# ---- a second instance ------------------------------------------------------------

start_program
second_pid=$started
if answer_box "ロードエラー"; then
    pass "a second instance says ロードエラー"
else
    miss "no ロードエラー box from a second instance"
fi
if within 5 exited "$second_pid"; then
    pass "the second instance ends"
else
    miss "the second instance still runs"
    kill -9 "$second_pid"
fi
kill -0 "$app_pid" 2>/dev/null || die "the first instance ended too"

# ---- a stop from another program ------------------------------------------------

# 10.77.0.5-60 are silent: half a second each, 28 s in all.
type_range 10 77 0 5 60
start_sweep || die "no confirmation box"
within 10 has_lines 2 || die "the long sweep did not start"
import -window "$wid" "$artifacts/window-sweeping.png"
printf 'Tobrik STOP' | xclip -selection clipboard
if within 5 viewer_count_is 3; then
    pass "\"Tobrik STOP\" on the clipboard ends the sweep after $(log_lines) of 56 addresses"
else
    miss "the sweep did not stop for the clipboard ($(log_lines) lines)"
fi
[ "$(log_lines)" -lt 56 ] || miss "the stopped sweep went to its end"

# ---- closing the window during a sweep ------------------------------------------

start_sweep || die "no confirmation box"
within 10 has_lines 2 || die "the sweep before closing did not start"
"$wm_close" "$wid"
if within 5 exited "$app_pid"; then
    pass "closing the window during a sweep ends the program"
else
    miss "the program still runs after its window was closed"
fi
lines_at_close=$(log_lines)
if [ "$lines_at_close" -ge 2 ] && ! grep -qv $'\r$' "$log"; then
    pass "the $lines_at_close log lines written before closing are kept whole"
else
    miss "log after closing: $(cat -A "$log")"
fi
viewer_count_is 3 && pass "no viewer starts after closing" ||
    miss "viewer calls after closing: $(cat "$viewer_calls")"

echo "e2e took $((SECONDS - began)) s"
echo "$passes passed, $misses failed"
[ "$misses" -eq 0 ]
