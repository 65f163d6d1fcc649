#!/bin/bash
# End-to-end test of the real program on a virtual X server, driven with
# xdotool as a person would; checks the log it writes and the viewer it
# starts. Runs inside the lab with the host name tobrik-ten (in_lab.sh
# --hostname tobrik-ten -- ...): 10.77.0.1 and .2 answer, .3 rejects, .4 and
# .5-.254 are silent, and the local host is 10.0.0.1.
#
# Usage: e2e.sh TOBRIK_BINARY WM_CLOSE_BINARY ARTIFACT_DIR
#        e2e.sh --wine [--in-place] RELEASE_FOLDER WM_CLOSE_BINARY ARTIFACT_DIR WIN_CHECK_EXE PLANTED_EXE
#   WM_CLOSE_BINARY closes a window as a window manager would; ARTIFACT_DIR
#   gets screenshots. --wine runs the Windows release folder (cmake --install
#   of windows-cross-gui) under wine in $WINEPREFIX, in code page 932, with
#   wine's notepad as the viewer; WIN_CHECK_EXE (tests/windows/win_check.cpp)
#   reads the frame and owner through the Win32 API; --in-place runs the
#   folder where it is (installed in the prefix), not a copy. The current
#   folder holds PLANTED_EXE (planted_notepad.c) as NOTEPAD.EXE, which must
#   never run.

set -u
windows= in_place=
[ "${1:-}" != --wine ] || { windows=1 && shift; }
[ -z "$windows" ] || [ "${1:-}" != --in-place ] || { in_place=--in-place && shift; }
binary=$1 wm_close=$2 artifacts=$3 win_check=${4:-} planted=${5:-}

source "$(dirname "$0")/../support/desktop.sh"
needs Xvfb xdotool xclip xwininfo xprop import iconv
needs_lab

# pass WHAT; miss MESSAGE: a check that failed, the test goes on; die
# MESSAGE: a check that failed and ends the test.
passes=0 misses=0
pass() { echo "ok   - $*" && passes=$((passes + 1)); }
miss() { echo "FAIL - $*" >&2 && misses=$((misses + 1)); }
die() { echo "$passes passed, $((misses + 1)) failed" && fail "$*"; }
# check WHAT DETAIL COMMAND...: passes WHAT when COMMAND succeeds, else
# misses it, with DETAIL; contains TEXT STRING...: TEXT holds every STRING.
check() { if "${@:3}"; then pass "$1"; else miss "$1: $2"; fi; }
contains() {
    local text=$1 string
    for string in "${@:2}"; do grep -qF -- "$string" <<<"$text" || return 1; done
}

# The program in a folder of the test's own (the log lands beside it), with
# a recorder of its arguments as the viewer, on a virtual X server without a
# window manager: the window's own position and hints are what is checked.
# Under wine the viewer is wine's notepad, whose windows the test counts,
# and the boxes are answered whatever their process.
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
    box_owner=
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
if [ -n "$windows" ]; then
    viewer_count() { echo $((viewers_closed + $(viewer_windows | wc -l))); }
fi
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
    local viewer command
    viewer=$(viewer_windows | head -n1)
    [ -n "$viewer" ] || return 1
    [ "$(xdotool getwindowname "$viewer")" = "tobrik.log - メモ帳" ] ||
        why "notepad's title: $(xdotool getwindowname "$viewer")" || return
    # Wine shows a program's Windows command line as its process arguments.
    command=$(notepad_command)
    [ "${command%% *}" = 'C:\windows\system32\notepad.exe' ] &&
        [ "${command#* }" = "$("$wine" winepath -w "$log")" ] ||
        why "notepad's command line: $command" || return
    iconv -f CP932 -t UTF-8 "$log" >"$work/log-text" || return 1
    xdotool windowfocus --sync "$viewer"
    xdotool key ctrl+a ctrl+c
    within 5 clipboard_is "$work/log-text" ||
        why "notepad shows: $(xclip -o -selection clipboard)" || return
    "$wm_close" "$viewer"
    within 10 notepad_gone || return 1
    viewers_closed=$((viewers_closed + 1))
}
# why TEXT: says why a check failed, and fails.
why() { echo "$*" >&2 && return 1; }

began=$SECONDS

# ---- the window appears -----------------------------------------------------

start_program
app_pid=$started
pid=$app_pid
within "$patience" has_window "" Tobrik || die "no window titled Tobrik"
window=$(window_of "" Tobrik)
pass "the window appears titled Tobrik after $((SECONDS - began)) s"
geometry=$(xwininfo -id "$window")
check "the window is 240 x 212" "$geometry" contains "$geometry" "Width: 240" "Height: 212"
# No taskbar button: asked of the window manager on X11; under wine, wine
# asks it for an owned window without WS_EX_APPWINDOW.
state=$(xprop -id "$window" _NET_WM_STATE)
check "the window asks to be left off the taskbar" "$state" contains "$state" _NET_WM_STATE_SKIP_TASKBAR
if [ -n "$windows" ]; then
    # What Windows itself sees: frame styles, the hidden owner, the place.
    status=0
    "$wine" "$win_check" frame Tobrik >"$work/win-check" 2>&1 || status=$?
    check "the Win32 frame: title bar, window menu, close box, fixed size, owned, centred" \
        $'\n'"$(cat "$work/win-check")" test "$status" = 0
else
    # Centred: on X11 the client area (no window manager, no frame).
    check "the window is centred on the 1024 x 768 screen" "$geometry" contains "$geometry" \
        "Absolute upper-left X:  392" "Absolute upper-left Y:  278"
    # What the window asks of a window manager: a dialog, transient for the
    # application's leader (so no taskbar button), that cannot be resized.
    hints=$(xprop -id "$window" _NET_WM_WINDOW_TYPE WM_TRANSIENT_FOR WM_NORMAL_HINTS)
    check "a fixed-size dialog transient for its leader window" "$hints" contains "$hints" \
        "= _NET_WM_WINDOW_TYPE_DIALOG" "WM_TRANSIENT_FOR(WINDOW): window id" \
        "minimum size: 240 by 212" "maximum size: 240 by 212"
    # Windows sizes the window's icons itself; the file's icon is checked
    # there (win_check resources).
    icon=$(xprop -id "$window" _NET_WM_ICON | head -n1)
    check "the window carries the 128 x 128 icon" "$icon" contains "$icon" "Icon (128 x 128)"
fi
xdotool windowfocus --sync "$window"
import -window "$window" "$artifacts/window-start.png"

# ---- a sweep of the pre-filled range: the local host itself -----------------

start_sweep
within "$patience" viewers_are 1 ||
    die "the first sweep did not end$(planted_ran && echo ': the NOTEPAD.EXE of the current folder ran')"
# The local address: on Linux the hosts file's address of the host name;
# Windows answers for its own name with an interface address instead.
if [ -n "$windows" ]; then
    local_line="10\.77\.0\.(1|2|20),--> OK,|10\.0\.0\.1,--> OK,|10\.77\.0\.(3|4),--> NG,"
else
    local_line="10\.0\.0\.1,--> OK,"
fi
records=$(log_records)
check "the range is pre-filled with the local address, $records" "$(cat -A "$log")" \
    eval '[[ $records =~ ^($local_line)$ ]]'
check "the viewer is started once with the log's path" "$(cat "${viewer_calls:-/dev/null}")" \
    viewer_shows_log

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
start_sweep
within "$patience" viewers_are 2 || die "the sweep of 10.77.0.1-4 did not end"
# The expected lines as bytes of the system's code page (Shift-JIS under
# wine's code page 932), compared byte for byte; a line without its time
# stamp or CR LF reads "BAD: ..." in log_records.
expected=$(printf '%s\n' "10.77.0.1,--> OK,lab-host-abcde" "10.77.0.2,--> OK,$japanese_name" \
    "10.77.0.3,--> NG," "10.77.0.4,--> NG," | iconv -f UTF-8 -t "$code_page" | od -An -tx1)
actual=$(log_records | od -An -tx1)
check "10.77.0.1-4: .1 and .2 answer with their names ($code_page bytes), .3 rejects, .4 is silent" \
    $'\n'"$(iconv -f "$code_page" -t UTF-8 "$log" | cat -A)" test "$actual" = "$expected"
check "the viewer shows the new log" "" viewer_shows_log

# ---- a second instance (under wine; on Linux: single_instance.sh) ------------

if [ -n "$windows" ]; then
    start_program
    check "a second instance says ロードエラー" "no box" answer "" "ロードエラー"
    check "the second instance ends" "it still runs" within 5 exited "$started"
    kill_program "$started"
    kill -0 "$app_pid" 2>/dev/null || die "the first instance ended too"
fi

# ---- a stop by click ----------------------------------------------------------------

# 10.77.0.5-60 are silent: half a second each, 28 s in all. A stop takes
# effect before the next address: the probe under way when it came may add
# its line, and one more only if the stop came as that line was written.
# stopped_within LINES: the sweep ended with at most two lines more than
# LINES, every one whole, and no more follow.
stopped_within() {
    local lines
    lines=$(log_lines)
    sleep 1 # two more time-outs' worth: a sweep still running would add lines
    [ "$(log_lines)" = "$lines" ] && ((lines <= $1 + 2)) && log_whole &&
        [ "$(log_records | head -n1)" = "10.77.0.5,--> NG," ]
}
type_range 10 77 0 5 60
start_sweep
wait_for_sweep_start 10.77.0.5 || die "the long sweep did not start"
import -window "$window" "$artifacts/window-sweeping.png"
before=$(log_lines)
click "${START[@]}"
check "a click on 中止 ends the sweep" "$(log_lines) lines" within 5 viewers_are 3
check "the lines before the stop are kept and no more follow" "stopped at line $before" \
    stopped_within "$before"
# Other programs read the stop text; on Windows it carries the marks that
# keep it out of the clipboard history and the cloud clipboard.
clipboard=$(xclip -o -selection clipboard)
check "other programs read the stop text" "$clipboard" test "$clipboard" = "Tobrik STOP"
if [ -n "$windows" ]; then
    status=0
    "$wine" "$win_check" clipboard >"$work/win-check" 2>&1 || status=$?
    check "the stop text is marked to stay out of the clipboard history" \
        $'\n'"$(cat "$work/win-check")" test "$status" = 0
fi
check "the viewer shows the stopped sweep's log" "" viewer_shows_log

# ---- a stop from another program ------------------------------------------------

start_sweep
wait_for_sweep_start 10.77.0.5 || die "the long sweep did not start"
before=$(log_lines)
printf 'Tobrik STOP' | xclip -selection clipboard
check "\"Tobrik STOP\" on the clipboard ends the sweep" "$(log_lines) lines" within 5 viewers_are 4
check "the lines before that stop are kept and no more follow" "stopped at line $before" \
    stopped_within "$before"
check "the viewer shows that log once" "" eval 'viewers_are 4 && viewer_shows_log'

# ---- closing the window during a sweep ------------------------------------------

start_sweep
wait_for_sweep_start 10.77.0.5 && within 10 has_lines 2 || die "the sweep before closing did not start"
"$wm_close" "$window"
check "closing the window during a sweep ends the program" "it still runs" \
    within 5 exited "$app_pid"
check "the log lines written before closing are kept whole" "$(cat -A "$log")" \
    eval 'has_lines 2 && log_whole'
sleep 1
check "no viewer starts after closing" "$(viewer_count) viewers" viewers_are 4

# ---- a copy in a folder named with a space and Japanese (Windows) -------------

# A clipboard owner that never renders its text (win_check freeze-clipboard)
# takes the clipboard mid-sweep: the sweep runs to its end, the window still
# answers. The viewer then shows the log in that folder.
if [ -n "$windows" ]; then
    copy="${log%/*/*}/試験 フォルダ" && rm -rf "$copy" && cp -r "${log%/*}" "$copy"
    log=$copy/tobrik.log && rm -f "$log"
    printf '#!/bin/sh\nexec %s "%s"\n' "$wine" "$copy/tobrik.exe" >"$program"
    start_program && pid=$started
    within "$patience" has_window "" Tobrik && window=$(window_of "" Tobrik) || die "no window in $copy"
    # freeze: a frozen owner, the last one killed, takes the clipboard.
    owner=
    freeze() {
        kill_program "$owner"
        "$wine" "$win_check" freeze-clipboard >"$work/frozen-owner" 2>&1 &
        owner=$!
        within 10 grep -q ready "$work/frozen-owner"
    }
    type_range 10 77 0 5 20 && start_sweep && wait_for_sweep_start 10.77.0.5 || die "no sweep to freeze"
    freeze && taken=$(log_lines)
    check "a frozen clipboard owner, from line ${taken:-?} of 16 on, holds up no sweep" \
        "$(log_lines) lines" eval '((${taken:-16} < 16)) && within 15 viewers_are 5'
    check "the viewer shows a log whose path holds a space and Japanese" "" viewer_shows_log
    # With a frozen owner a sweep starts at once, another program may change
    # the clipboard (a read that waited on the owner would hold it open) and
    # its stop text, the clipboard held open for a second, ends the sweep.
    freeze || die "no frozen owner"
    type_into "${EIP3[@]}" 60 && start_sweep
    check "with the clipboard's owner frozen a sweep starts at once" "" \
        within 3 sweep_started 10.77.0.5
    status=0
    "$wine" "$win_check" hold-clipboard >"$work/held" 2>&1 || status=$?
    check "another program changes the clipboard" $'\n'"$(cat "$work/held")" test "$status" = 0
    check "its stop text, held open for a second, ends the sweep" "$(log_lines) lines" \
        eval 'within 5 viewers_are 6 && viewer_shows_log'
    # With a frozen owner a click on 中止 ends a sweep at once.
    freeze && start_sweep && wait_for_sweep_start 10.77.0.5 || die "no sweep with a frozen owner"
    click "${START[@]}"
    check "a click on 中止 ends it at once" "$(log_lines) lines" within 4 viewers_are 7
    kill_program "$owner"
    # The same folder by its short (8.3) name writes the same log: refused.
    short=$("$wine" winepath -s "$("$wine" winepath -w "$copy/tobrik.exe")" | tr -d '\r')
    printf '#!/bin/sh\nexec %s "%s"\n' "$wine" "$short" >"$program" && start_program
    check "a copy started as $short is refused while the one of the long name runs" "" \
        eval '[[ $short == *~* ]] && answer "" "ロードエラー" && within 5 exited "$started"'
    "$wm_close" "$window"
    check "the window still closes" "it still runs" within 5 exited "$pid"
fi
[ -z "$windows" ] || check "the NOTEPAD.EXE of the current folder never ran" "it ran" eval '! planted_ran'

echo "e2e took $((SECONDS - began)) s"
echo "$passes passed, $misses failed"
[ "$misses" -eq 0 ]
