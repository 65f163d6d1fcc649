#!/bin/bash
# End-to-end test of the real program: runs it on a virtual X server and
# drives it with xdotool as a person would, checking the log it writes and
# the viewer it starts. Meant to run inside the network lab with the host
# name tobrik-ten (tests/lab/in_lab.sh --hostname tobrik-ten -- ...), where
# the lab's truth is: 10.77.0.1 and .2 answer, .3 rejects, .4 and .5-.254
# are silent, and the local host is 10.0.0.1.
#
# Usage: e2e.sh TOBRIK_BINARY WM_CLOSE_BINARY ARTIFACT_DIR
#        e2e.sh --wine [--in-place] RELEASE_FOLDER WM_CLOSE_BINARY ARTIFACT_DIR WIN_CHECK_EXE PLANTED_EXE
#   WM_CLOSE_BINARY asks a window to close as a window manager would;
#   ARTIFACT_DIR receives screenshots of the window.
#   --wine runs the Windows program of RELEASE_FOLDER (cmake --install of the
#   windows-cross-gui build) under wine in the prefix $WINEPREFIX, in code
#   page 932 (LC_ALL=ja_JP.UTF-8), with wine's own notepad as the viewer;
#   WIN_CHECK_EXE (tests/win32/win_check.cpp) reads the window's frame and
#   owner through the Win32 API. --in-place runs it where it is (a copy
#   installed in the prefix) rather than from a copy of the test's own.
#   The program starts in a current folder that holds PLANTED_EXE
#   (planted_notepad.c) as NOTEPAD.EXE, which must never run.

set -u

windows=
in_place=
if [ "${1:-}" = --wine ]; then
    windows=1
    shift
    if [ "${1:-}" = --in-place ]; then
        in_place=--in-place
        shift
    fi
fi
binary=$1
wm_close=$2
artifacts=$3
win_check=${4:-}
planted=${5:-}

source "$(dirname "$0")/../support/desktop.sh"
needs Xvfb xdotool xclip xwininfo xprop import iconv
needs_lab

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
# die MESSAGE: a check that failed and ends the test.
die() {
    echo "$passes passed, $((misses + 1)) failed"
    fail "$*"
}

# The program in a folder of the test's own (the log lands beside it), with
# a recorder of its arguments as the viewer, on a virtual X server without a
# window manager: the window's own position and hints are what is checked.
# Under wine the viewer is wine's notepad, whose windows the test counts.
mkdir -p "$artifacts"
export TOBRIK_ARTIFACTS=$artifacts
unset QT_QPA_PLATFORM LANGUAGE WAYLAND_DISPLAY
start_x_server
if [ -n "$windows" ]; then
    install_windows_program "$binary" $in_place
    mkdir "$work/cwd"
    cp "$planted" "$work/cwd/NOTEPAD.EXE"
    cd "$work/cwd" || fail "no current folder"
    export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
    start_wineserver
    patience=30 # wine starts its own services with the first program
else
    install_program "$binary"
    export LANG=C.UTF-8
    unset LC_ALL
fi

# ---- helpers that act on the window ---------------------------------------

# The viewer: on Linux a recorder of its calls; under wine notepad, whose
# windows "tobrik.log - メモ帳" are counted and closed once checked.
viewers_closed=0
viewer_windows() { xdotool search --onlyvisible --name '^tobrik\.log - ' 2>/dev/null; }
viewer_count() {
    if [ -n "$windows" ]; then
        echo $((viewers_closed + $(viewer_windows | wc -l)))
    else
        wc -l <"$viewer_calls"
    fi
}
viewer_count_is() { [ "$(viewer_count)" -eq "$1" ]; }
# clipboard_is FILE: the X clipboard holds FILE's text (line ends aside).
clipboard_is() { [ "$(xclip -o -selection clipboard | tr -d '\r')" = "$(tr -d '\r' <"$1")" ]; }
notepad_command() { ps -eo args | grep -i '^[^ ]*notepad\.exe ' | head -n1; }
notepad_gone() { [ -z "$(notepad_command)" ]; }
planted_ran() { [ -e "$work/cwd/NOTEPAD.EXE.ran" ]; }
# viewer_shows_log: the viewer was started on the log. Under wine: notepad's
# window bears the log's name, and its text, selected and copied to the
# clipboard, is the log's text; the window is then closed.
viewer_shows_log() {
    if [ -z "$windows" ]; then
        [ "$(tail -n1 "$viewer_calls")" = "$log" ]
        return
    fi
    local viewer
    viewer=$(viewer_windows | head -n1)
    [ -n "$viewer" ] || return 1
    [ "$(xdotool getwindowname "$viewer")" = "tobrik.log - メモ帳" ] || {
        echo "notepad's title: $(xdotool getwindowname "$viewer")" >&2
        return 1
    }
    # Wine shows a program's Windows command line as its process arguments.
    local command
    command=$(notepad_command)
    [ "${command%% *}" = 'C:\windows\system32\notepad.exe' ] &&
        [ "${command#* }" = "$("$wine" winepath -w "$log")" ] || {
        echo "notepad's command line: $command" >&2
        return 1
    }
    iconv -f CP932 -t UTF-8 "$log" >"$work/log-text" || return 1
    xdotool windowfocus --sync "$viewer"
    xdotool key ctrl+a ctrl+c
    within 5 clipboard_is "$work/log-text" || {
        echo "notepad shows: $(xclip -o -selection clipboard)" >&2
        return 1
    }
    "$wm_close" "$viewer"
    within 10 notepad_gone || return 1
    viewers_closed=$((viewers_closed + 1))
}

# Centres of the controls, in the window's client coordinates.
SIP0=(91 19)
EIP3=(206 47)
OPT_YES=(72 84) # "する"
START=(213 189)

# start_sweep: clicks the start button and confirms the box; the last
# sweep's log goes first, so that every line counted afterwards is this
# sweep's.
start_sweep() {
    rm -f "$log"
    click "${START[@]}"
    answer "" "処理の確認"
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
within "$patience" has_window "" Tobrik || die "no window titled Tobrik"
window=$(window_of "" Tobrik)
pass "the window appears titled Tobrik after $((SECONDS - began)) s"
geometry=$(xwininfo -id "$window")
if grep -q "Width: 240" <<<"$geometry" && grep -q "Height: 212" <<<"$geometry"; then
    pass "the window is 240 x 212"
else
    miss "window size: $geometry"
fi
# Centred: on X11 the client area (no window manager, no frame); under wine
# win_check sees the window with its frame as Windows does.
if [ -n "$windows" ]; then
    :
elif grep -q "Absolute upper-left X:  392" <<<"$geometry" &&
    grep -q "Absolute upper-left Y:  278" <<<"$geometry"; then
    pass "the window is centred on the 1024 x 768 screen"
else
    miss "window position: $geometry"
fi
# No taskbar button: asked of the window manager on X11; under wine, wine
# asks it for an owned window without WS_EX_APPWINDOW.
if xprop -id "$window" _NET_WM_STATE | grep -q "_NET_WM_STATE_SKIP_TASKBAR"; then
    pass "the window asks to be left off the taskbar"
else
    miss "window state: $(xprop -id "$window" _NET_WM_STATE)"
fi
if [ -n "$windows" ]; then
    # What Windows itself sees: frame styles and the hidden owner.
    if "$wine" "$win_check" frame Tobrik >"$work/win-check" 2>&1; then
        pass "the Win32 frame: title bar, window menu, close box, fixed size, owned, centred ($(grep -c '^ok' "$work/win-check") checks)"
    else
        miss "the Win32 frame:"$'\n'"$(cat "$work/win-check")"
    fi
else
    # What the window asks of a window manager: a dialog, transient for the
    # application's leader (so no taskbar button), that cannot be resized.
    hints=$(xprop -id "$window" _NET_WM_WINDOW_TYPE WM_TRANSIENT_FOR WM_NORMAL_HINTS)
    if grep -q "= _NET_WM_WINDOW_TYPE_DIALOG" <<<"$hints" &&
        grep -q "WM_TRANSIENT_FOR(WINDOW): window id" <<<"$hints" &&
        grep -q "minimum size: 240 by 212" <<<"$hints" &&
        grep -q "maximum size: 240 by 212" <<<"$hints"; then
        pass "a fixed-size dialog transient for its leader window"
    else
        miss "window manager hints: $hints"
    fi
    # Windows sizes the window's icons itself; the file's icon is checked
    # there (win_check resources).
    if xprop -id "$window" _NET_WM_ICON | head -n1 | grep -q "Icon (128 x 128)"; then
        pass "the window carries the 128 x 128 icon"
    else
        miss "no 128 x 128 window icon"
    fi
fi
xdotool windowfocus --sync "$window"
import -window "$window" "$artifacts/window-start.png"

# ---- a sweep of the pre-filled range: the local host itself -----------------

start_sweep || die "no confirmation box"
within "$patience" viewer_count_is 1 ||
    die "the first sweep did not end$(planted_ran && echo ': the NOTEPAD.EXE of the current folder ran')"
# The local address: on Linux the hosts file's address of the host name;
# Windows answers for its own name with an interface address instead.
if [ -n "$windows" ]; then
    local_line="10\.77\.0\.(1|2|20),--> OK,|10\.0\.0\.1,--> OK,|10\.77\.0\.(3|4),--> NG,"
else
    local_line="10\.0\.0\.1,--> OK,"
fi
if grep -qE "^[0-9/]+ [0-9:]+,($local_line)"$'\r'"\$" "$log" && [ "$(log_lines)" = 1 ]; then
    pass "the range is pre-filled with the local address, $(cut -d, -f2,3 "$log")"
else
    miss "pre-filled sweep log: $(cat -A "$log")"
fi
if [ -z "$windows" ] && [ "$(cat "$viewer_calls")" != "$log" ]; then
    miss "viewer calls: $(cat "$viewer_calls")"
elif viewer_shows_log; then
    pass "the viewer is started once with the log's path"
else
    miss "the viewer does not show the log"
fi

# ---- a typed range with host names ----------------------------------------------

# 10.77.0.2 gets a Japanese name first in the lab's hosts file (written in
# place: it is bind-mounted), so the name crosses the resolver, the window
# and the log in the system's code page. Wine hands the Unix resolver's
# bytes through unconverted, where Windows gives its ANSI code page, so for
# the Windows program the line is written in Shift-JIS.
code_page=$([ -n "$windows" ] && echo CP932 || echo UTF-8)
japanese_name="東京サーバ-02"
{ printf '10.77.0.2 %s\n' "$japanese_name" | iconv -f UTF-8 -t "$code_page"; cat /etc/hosts; } >"$work/hosts"
cat "$work/hosts" >/etc/hosts
click "${OPT_YES[@]}"
type_range 10 77 0 1 4
start_sweep || die "no confirmation box"
within "$patience" viewer_count_is 2 || die "the sweep of 10.77.0.1-4 did not end"
# The expected lines as bytes of the system's code page (Shift-JIS under
# wine's code page 932), compared byte for byte.
expected=$(printf '%s\n' "10.77.0.1,--> OK,lab-host-abcde" "10.77.0.2,--> OK,$japanese_name" \
    "10.77.0.3,--> NG," "10.77.0.4,--> NG," | iconv -f UTF-8 -t "$code_page" | od -An -tx1)
actual=$(cut -d, -f2- "$log" | tr -d '\r' | od -An -tx1)
if [ "$actual" = "$expected" ]; then
    pass "10.77.0.1-4: .1 and .2 answer with their names ($code_page bytes), .3 rejects, .4 is silent"
else
    miss "log of 10.77.0.1-4:"$'\n'"$(iconv -f "$code_page" -t UTF-8 "$log" | cat -A)"
fi
# Every line ends in CR LF, and the bytes are text of the system's code page
# (UTF-8 on Linux, Shift-JIS under wine's code page 932).
if ! grep -qv $'\r$' "$log" && iconv -f "$code_page" -t UTF-8 "$log" >/dev/null; then
    pass "the log is text of the system code page with CR LF line ends"
else
    miss "log bytes: $(od -c "$log" | head)"
fi
viewer_shows_log && pass "the viewer shows the new log" || miss "the viewer does not show the new log"

# ---- a refused range --------------------------------------------------------------

type_into "${SIP0[@]}" 999
click "${START[@]}"
answer "" "処理の確認" || die "no confirmation box"
if answer "" "入力の確認"; then
    pass "an invalid start address is refused with 入力の確認"
else
    miss "no 入力の確認 box for 999.77.0.1"
fi
viewer_count_is 2 || miss "a refused range started the viewer"

# ---- a second instance ------------------------------------------------------------

start_program
second_pid=$started
if answer "" "ロードエラー"; then
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

# ---- a stop by click ----------------------------------------------------------------

# 10.77.0.5-60 are silent: half a second each, 28 s in all.
type_range 10 77 0 5 60
start_sweep || die "no confirmation box"
wait_for_sweep_start 10.77.0.5 || die "the long sweep did not start"
import -window "$window" "$artifacts/window-sweeping.png"
click "${START[@]}"
if within 5 viewer_count_is 3; then
    stopped_at=$(log_lines)
    pass "a click on 中止 ends the sweep after $stopped_at of 56 addresses"
    sleep 1
    if [ "$(log_lines)" = "$stopped_at" ] && [ "$stopped_at" -lt 56 ] &&
        grep -q ",10\.77\.0\.5,--> NG,"$'\r'"\$" "$log"; then
        pass "the lines before the stop are kept and no more follow"
    else
        miss "log after the stop: $(cat -A "$log")"
    fi
else
    miss "the sweep did not stop for the click ($(log_lines) lines)"
fi
# Other programs read the stop text; on Windows it carries the marks that
# keep it out of the clipboard history and the cloud clipboard.
[ "$(xclip -o -selection clipboard)" = "Tobrik STOP" ] && pass "other programs read the stop text" ||
    miss "the clipboard after the stop: $(xclip -o -selection clipboard)"
[ -z "$windows" ] || { "$wine" "$win_check" clipboard >"$work/win-check" 2>&1 &&
    pass "the stop text is marked to stay out of the clipboard history" ||
    miss "the stop text's marks:"$'\n'"$(cat "$work/win-check")"; }
viewer_shows_log || miss "the viewer does not show the stopped sweep's log"

# ---- a stop from another program ------------------------------------------------

start_sweep || die "no confirmation box"
wait_for_sweep_start 10.77.0.5 || die "the long sweep did not start"
printf 'Tobrik STOP' | xclip -selection clipboard
if within 5 viewer_count_is 4; then
    pass "\"Tobrik STOP\" on the clipboard ends the sweep after $(log_lines) of 56 addresses"
else
    miss "the sweep did not stop for the clipboard ($(log_lines) lines)"
fi
[ "$(log_lines)" -lt 56 ] || miss "the stopped sweep went to its end"
viewer_count_is 4 && viewer_shows_log || miss "the viewer does not show the stopped sweep's log once"

# ---- closing the window during a sweep ------------------------------------------

start_sweep || die "no confirmation box"
wait_for_sweep_start 10.77.0.5 && within 10 has_lines 2 || die "the sweep before closing did not start"
"$wm_close" "$window"
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
sleep 1
viewer_count_is 4 && pass "no viewer starts after closing" ||
    miss "viewers after closing: $(viewer_count)"
[ -z "$windows" ] || { planted_ran && miss "the NOTEPAD.EXE of the current folder ran" ||
    pass "the NOTEPAD.EXE of the current folder never ran"; }

echo "e2e took $((SECONDS - began)) s"
echo "$passes passed, $misses failed"
[ "$misses" -eq 0 ]
