#!/bin/bash
# One instance at a time: a second one shows only its refusal and ends; a
# killed instance does not block the next, nor does one of another user; two
# copies at different paths that would write the same log are one instance,
# also where a link beside one sends its log there;
# of eight started at once exactly one stays; a lock that cannot be made does
# not refuse the start. The first window opens centred, frame included, under
# openbox, which itself would put it into the screen's corner. Runs inside
# the lab (the program looks up the local host).
source "$(dirname "$0")/../support/desktop.sh"
start_desktop corner
install_program "$1"

open_window
first=$pid

# The window opens centred in the work area with the frame that the window
# manager gave it (within 2 px); $frame says where the frame and area were.
frame_centred() {
    local id x y w h l r t b ax ay aw ah
    id=$(window_of "$first" Tobrik)
    read -r x y w h < <(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x = $4}
        /Absolute upper-left Y/ {y = $4} /Width:/ {w = $2} /Height:/ {h = $2}
        END {print x, y, w, h}')
    read -r l r t b < <(xprop -id "$id" _NET_FRAME_EXTENTS | tr -dc '0-9 \n' | xargs)
    read -r ax ay aw ah _ < <(xprop -root _NET_WORKAREA | tr -dc '0-9 \n' | xargs)
    frame="$((x - l)) $((y - t)) $((w + l + r)) $((h + t + b)) in $ax $ay $aw $ah"
    [ "$t" -gt 0 ] || return 1
    local dx=$((2 * (x - l) + w + l + r - 2 * ax - aw)) dy=$((2 * (y - t) + h + t + b - 2 * ay - ah))
    ((dx >= -4 && dx <= 4 && dy >= -4 && dy <= 4))
}
frame=
within 5 frame_centred || fail "the framed window is not centred: ${frame:-no frame}"

start_program
second=$started
wait_until 10 "the refusal" has_window "$second" "ロードエラー"
has_window "$second" Tobrik && fail "the second instance showed its window"
answer "$second" "ロードエラー" || fail "the refusal could not be answered"
wait_until 5 "the second instance to end" exited "$second"
wait "$second" || fail "the second instance ended with status $?"
exited "$first" && fail "the first instance ended"
has_window "$first" Tobrik || fail "the first instance lost its window"

# opens WHY PREFIX...: start_program PREFIX... shows its window, else fails WHY.
opens() { start_program "${@:2}" && within 10 has_window "$started" Tobrik || fail "$1"; }

kill_program "$first"
open_window # after a killed instance
kill_program "$pid"

# Other users, each with a runtime folder of its own.
open_window run_as 65534
kill_program "$pid"
opens "a lock left by another user's killed instance refused the start" run_as 65533
kill_program "$started"

# One log, one copy: a copy in a system folder and one in a folder that
# others may write both log into the user's state folder, here named once
# through a link, so the second is refused, whatever its path.
system_copy=$(mktemp -d /usr/local/lib/tobrik-test.XXXXXX)
trap 'rm -rf "$system_copy"; cleanup' EXIT
mkdir -m 1777 "$work/shared"
mkdir -p "$work/state"
ln -s "$work/state" "$work/state-link"
install -m 755 "$program" "$system_copy/tobrik"
install -m 755 "$program" "$work/shared/tobrik"
program="$system_copy/tobrik" open_window env XDG_STATE_HOME="$work/state"
program="$work/shared/tobrik" start_program env XDG_STATE_HOME="$work/state-link/"
wait_until 10 "the refusal of a copy that shares the log" has_window "$started" "ロードエラー"
answer "$started" "ロードエラー" || fail "the refusal could not be answered"
wait_until 5 "the refused copy to end" exited "$started"
kill_program "$pid"
# A copy whose log beside it is a link writes the state folder, as the
# system copy does: the second is refused.
mkdir -m 755 "$work/linked" && install -m 755 "$program" "$work/linked/tobrik"
ln -s "$work/elsewhere" "$work/linked/tobrik.log"
program="$work/linked/tobrik" open_window env XDG_STATE_HOME="$work/state"
program="$system_copy/tobrik" start_program env XDG_STATE_HOME="$work/state"
wait_until 10 "the refusal beside a copy whose log is a link" has_window "$started" "ロードエラー"
answer "$started" "ロードエラー" || fail "the refusal could not be answered"
wait_until 5 "the refused copy to end" exited "$started"
kill_program "$pid"

# Where the lock cannot be made the program starts without it: in a full
# runtime folder two instances start, and neither leaves a lock there; a
# private folder in TMPDIR left read-only is made 0700.
full="$work/runtime-full"
mkdir "$full"
mount -t tmpfs -o size=4k,mode=0700,uid=65532 tobrik-full "$full" || fail "cannot mount a tmpfs"
# The instances go first, or the folder would be busy.
trap 'for child in "${children[@]}"; do kill_program "$child"; done
      umount "$full"; rm -rf "$system_copy"; cleanup' EXIT
cat /dev/zero >"$full/filler" 2>/dev/null
opens "a full runtime folder refused the start" run_as 65532 env XDG_RUNTIME_DIR="$full"
first_full=$started
opens "the second instance in a full runtime folder was refused: the lock was made" \
    run_as 65532 env XDG_RUNTIME_DIR="$full"
ls "$full"/*.lock >/dev/null 2>&1 && fail "a lock was left in the full runtime folder: $(ls "$full")"
kill_program "$first_full"
kill_program "$started"
mkdir -m 1777 "$work/tmp"
mkdir -m 0500 "$work/tmp/tobrik-65532"
chown 65532 "$work/tmp/tobrik-65532"
opens "a read-only private folder refused the start" run_as 65532 env XDG_RUNTIME_DIR= TMPDIR="$work/tmp"
[ "$(stat -c %a "$work/tmp/tobrik-65532")" = 700 ] ||
    fail "the private folder kept mode $(stat -c %a "$work/tmp/tobrik-65532")"
kill_program "$started"

pids=()
for _ in 1 2 3 4 5 6 7 8; do
    start_program
    pids+=("$started")
done
settled() {
    local pid
    for pid in "${pids[@]}"; do
        has_window "$pid" Tobrik || has_window "$pid" "ロードエラー" || return 1
    done
}
wait_until 20 "eight instances to settle" settled
windows=0 refusals=()
for pid in "${pids[@]}"; do
    has_window "$pid" Tobrik && windows=$((windows + 1))
    has_window "$pid" "ロードエラー" && refusals+=("$pid")
done
[ "$windows" = 1 ] || fail "$windows of eight instances opened their window"
[ "${#refusals[@]}" = 7 ] || fail "${#refusals[@]} of eight instances were refused"
for pid in "${refusals[@]}"; do
    answer "$pid" "ロードエラー" || fail "a refusal could not be answered"
    wait_until 5 "a refused instance to end" exited "$pid"
done
running=0
for pid in "${pids[@]}"; do
    exited "$pid" || running=$((running + 1))
done
[ "$running" = 1 ] || fail "$running instances still run"
echo "single instance: ok"
