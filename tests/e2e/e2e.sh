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

work=$(mktemp -d /tmp/tobrik-e2e.XXXXXX)
xvfb_pid=
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill -9 "$app_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
passes=0
pass() {
    echo "ok   - $*"
    passes=$((passes + 1))
}
fail() {
    echo "FAIL - $*" >&2
    failures=$((failures + 1))
}
die() {
    fail "$*"
    echo "$passes passed, $failures failed"
    exit 1
}

# wait_until SECONDS COMMAND...: polls COMMAND every 50 ms until it
# succeeds; fails after SECONDS.
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.05
    done
}

# The program in a folder of the test's own: the log lands beside it. The
# viewer it starts at the end of a sweep is a recorder of its arguments.
mkdir -p "$work/app" "$work/bin" "$artifacts"
cp "$binary" "$work/app/tobrik"
log=$work/app/tobrik.log
viewer_calls=$work/viewer-calls
: >"$viewer_calls"
cat >"$work/bin/xdg-open" <<EOF
#!/bin/sh
printf '%s\n' "\$*" >>"$viewer_calls"
EOF
chmod +x "$work/bin/xdg-open"
export PATH=$work/bin:$PATH
export LANG=C.UTF-8
unset QT_QPA_PLATFORM LC_ALL LANGUAGE WAYLAND_DISPLAY

# A virtual X server of this test's own; it picks a free display number.
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_until 10 test -s "$work/display" || die "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=:$(head -n1 "$work/display")

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
    wait_until 10 window_shown "$1" || return 1
    local box
    box=$(find_window "$1")
    xdotool windowfocus --sync "$box"
    xdotool key Return
    wait_until 10 window_gone "$1"
}
viewer_count() { wc -l <"$viewer_calls"; }
log_lines() { [ -f "$log" ] && wc -l <"$log" || echo 0; }
log_has_lines() { [ "$(log_lines)" -ge "$1" ]; }
viewer_count_is() { [ "$(viewer_count)" -eq "$1" ]; }
app_ended() { ! kill -0 "$app_pid" 2>/dev/null; }

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

"$work/app/tobrik" >"$work/app.out" 2>&1 &
app_pid=$!
wait_until 10 window_shown Tobrik || die "no window titled Tobrik: $(cat "$work/app.out")"
wid=$(find_window Tobrik)
pass "the window appears titled Tobrik"
geometry=$(xwininfo -id "$wid")
if grep -q "Width: 240" <<<"$geometry" && grep -q "Height: 212" <<<"$geometry"; then
    pass "the window is 240 x 212"
else
    fail "window size: $geometry"
fi
if grep -q "Absolute upper-left X:  392" <<<"$geometry" &&
    grep -q "Absolute upper-left Y:  278" <<<"$geometry"; then
    pass "the window is centred on the 1024 x 768 screen"
else
    fail "window position: $geometry"
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
    fail "window manager hints: $hints"
fi
if xprop -id "$wid" _NET_WM_ICON | head -n1 | grep -q "Icon (128 x 128)"; then
    pass "the window carries the 128 x 128 icon"
else
    fail "no 128 x 128 window icon"
fi
xdotool windowfocus --sync "$wid"
import -window "$wid" "$artifacts/window-start.png"

# ---- a sweep of the pre-filled range: the local host itself -----------------

start_sweep || die "no confirmation box"
wait_until 10 viewer_count_is 1 || die "the first sweep did not end"
if grep -q "^[0-9/]* [0-9:]*,10\.0\.0\.1,--> OK,"$'\r'"\$" "$log"; then
    pass "the range is pre-filled with the local address 10.0.0.1, which answers"
else
    fail "pre-filled sweep log: $(cat -A "$log")"
fi
if [ "$(cat "$viewer_calls")" = "$log" ]; then
    pass "the viewer is started once with the log's path"
else
    fail "viewer calls: $(cat "$viewer_calls")"
fi

# ---- a typed range with host names ----------------------------------------------

click "${OPT_YES[@]}"
type_range 10 77 0 1 4
start_sweep || die "no confirmation box"
wait_until 15 viewer_count_is 2 || die "the sweep of 10.77.0.1-4 did not end"
expected="10.77.0.1,--> OK,lab-host-abcde
10.77.0.2,--> OK,lab-host-abcdef
10.77.0.3,--> NG,
10.77.0.4,--> NG,"
actual=$(cut -d, -f2- "$log" | tr -d '\r')
if [ "$actual" = "$expected" ]; then
    pass "10.77.0.1-4: .1 and .2 answer with their names, .3 rejects, .4 is silent"
else
    fail "log of 10.77.0.1-4:"$'\n'"$actual"
fi
[ "$(tail -n1 "$viewer_calls")" = "$log" ] && pass "the viewer shows the new log" ||
    fail "viewer calls: $(cat "$viewer_calls")"

# ---- a refused range --------------------------------------------------------------

type_into "${SIP0[@]}" 999
click "${START[@]}"
answer_box "処理の確認" || die "no confirmation box"
if answer_box "入力の確認"; then
    pass "an invalid start address is refused with 入力の確認"
else
    fail "no 入力の確認 box for 999.77.0.1"
fi
viewer_count_is 2 || fail "a refused range started the viewer"

# ---- a second instance ------------------------------------------------------------

"$work/app/tobrik" >"$work/second.out" 2>&1 &
second_pid=$!
if answer_box "ロードエラー"; then
    pass "a second instance says ロードエラー"
else
    fail "no ロードエラー box from a second instance"
fi
second_ended() { ! kill -0 "$second_pid" 2>/dev/null; }
if wait_until 5 second_ended; then
    pass "the second instance ends"
else
    fail "the second instance still runs"
    kill -9 "$second_pid"
fi
kill -0 "$app_pid" 2>/dev/null || die "the first instance ended too"

# ---- a stop from another program ------------------------------------------------

# 10.77.0.5-60 are silent: half a second each, 28 s in all.
type_range 10 77 0 5 60
start_sweep || die "no confirmation box"
wait_until 10 log_has_lines 2 || die "the long sweep did not start"
import -window "$wid" "$artifacts/window-sweeping.png"
printf 'Tobrik STOP' | xclip -selection clipboard
if wait_until 5 viewer_count_is 3; then
    pass "\"Tobrik STOP\" on the clipboard ends the sweep after $(log_lines) of 56 addresses"
else
    fail "the sweep did not stop for the clipboard ($(log_lines) lines)"
fi
[ "$(log_lines)" -lt 56 ] || fail "the stopped sweep went to its end"

# ---- closing the window during a sweep ------------------------------------------

start_sweep || die "no confirmation box"
wait_until 10 log_has_lines 2 || die "the sweep before closing did not start"
"$wm_close" "$wid"
if wait_until 5 app_ended; then
    pass "closing the window during a sweep ends the program"
else
    fail "the program still runs after its window was closed"
fi
lines_at_close=$(log_lines)
if [ "$lines_at_close" -ge 2 ] && ! grep -qv $'\r$' "$log"; then
    pass "the $lines_at_close log lines written before closing are kept whole"
else
    fail "log after closing: $(cat -A "$log")"
fi
viewer_count_is 3 && pass "no viewer starts after closing" ||
    fail "viewer calls after closing: $(cat "$viewer_calls")"

echo "e2e took $((SECONDS - began)) s"
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
