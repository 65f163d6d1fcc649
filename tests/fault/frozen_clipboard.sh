#!/bin/bash
# The clipboard owned by a frozen program (frozen_owner.py takes it and
# stops itself, never answering a read), the real program on an X server of
# the test's own inside the lab with the host name tobrik-silent (10.77.0.50:
# each silent address takes the 500 ms time-out).
#   1. Frozen before a sweep of five addresses: it ends at a quiet pace.
#   2. Frozen during a sweep: no gap between lines of 1.5 s, the read that
#      waits for the owner included (one of Qt's 5 s clipboard time-outs
#      would make 5.5 s), and a stop by the button ends it with one viewer.
source "$(dirname "$0")/../support/desktop.sh"
here=$(cd "$(dirname "$0")" && pwd)
start_desktop
install_program "$1"

freeze_clipboard() {
    python3 "$here/frozen_owner.py" >"$work/owner-out" 2>&1 &
    owner=$!
    children+=("$owner")
    wait_until 10 "the frozen owner to take the clipboard" grep -q owned "$work/owner-out"
    wait_until 5 "the owner to stop" sh -c "grep -q '^State:.*stopped' /proc/$owner/status"
}

# 1. Frozen before the sweep: 10.77.0.50-54.
open_window
freeze_clipboard
sweep_by_keys 54
wait_for_sweep_start 10.77.0.50 || fail "the sweep did not start"
begin=$(now_ms)
wait_until 30 "the sweep to end" viewers 1
took=$(($(now_ms) - begin))
((took < 3500)) || fail "the four addresses after the first took $took ms"
[ "$(log_lines)" = 5 ] || fail "$(log_lines) lines instead of 5"
viewers_are 1 || fail "viewer calls: $(cat "$viewer_calls")"
echo "frozen owner before the sweep: four addresses after the first in $took ms: ok"
kill -9 "$owner" "$pid"

# 2. Frozen during a sweep of 10.77.0.50-90.
: >"$viewer_calls"
open_window
sweep_by_keys 90
wait_for_sweep_start 10.77.0.50 || fail "the sweep did not start"
wait_until 10 "two log lines" has_lines 2
freeze_clipboard
frozen_at=$(now_ms)
frozen_lines=$(log_lines)
# Follows the log for six more lines, one of them after the read that waits
# for the owner.
last_count=$frozen_lines last_at=$frozen_at longest=0
deadline=$((SECONDS + 30))
while [ "$(log_lines)" -lt $((frozen_lines + 6)) ]; do
    ((SECONDS < deadline)) || fail "the sweep stalled at $(log_lines) lines"
    count=$(log_lines)
    if [ "$count" != "$last_count" ]; then
        at=$(now_ms) gap=$((at - last_at))
        ((gap > longest)) && longest=$gap
        last_count=$count last_at=$at
    fi
    sleep 0.02
done
((longest < 1500)) || fail "a gap of ${longest} ms between lines: the sweep waits on the owner"
echo "frozen owner during the sweep: longest gap between lines ${longest} ms: ok"
stop_at=$(now_ms)
# The Start button, now the Stop button, has kept the focus.
press "$window" space
wait_until 10 "the viewer after the stop" viewers 1
stopped_after=$(($(now_ms) - stop_at))
lines=$(log_lines)
sleep 1.5 # three more time-outs' worth: a sweep still running would add lines
[ "$(log_lines)" = "$lines" ] || fail "the log still grows after the stop"
viewers_are 1 || fail "viewer calls: $(cat "$viewer_calls")"
log_whole || fail "a damaged line: $(cat -A "$log")"
has_window "$pid" Tobrik || fail "the window is gone"
echo "stop by the button with a frozen clipboard owner: stopped after ${stopped_after} ms with $lines lines: ok"
