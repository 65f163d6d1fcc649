#!/bin/bash
# The clipboard owned by a frozen program (frozen_owner.py: takes the
# CLIPBOARD selection and stops itself, so it never answers a read). The
# real program on an X server of the test's own, inside the lab with the
# host name tobrik-silent (10.77.0.50, a silent address, so each address
# takes the 500 ms time-out).
#   1. Frozen before the sweep: a sweep of five addresses runs to its end
#      (five lines, one viewer start).
#   2. Frozen during a sweep: the sweep goes on after the one read that
#      waits for the frozen owner, and a stop by the button still works: the
#      log stops growing and the viewer starts once. The longest gap between
#      two log lines shows how long that read waited.
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
begin=$(now_ms)
sweep_by_keys 54
wait_until 30 "the sweep to end" test -s "$viewer_calls"
[ "$(log_lines)" = 5 ] || fail "$(log_lines) lines instead of 5"
[ "$(wc -l <"$viewer_calls")" = 1 ] || fail "viewer calls: $(cat "$viewer_calls")"
echo "frozen owner before the sweep: five addresses in $(($(now_ms) - begin)) ms: ok"
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
# Follows the log for six more lines, noting the longest gap between two.
last_count=$frozen_lines last_at=$frozen_at longest=0
deadline=$((SECONDS + 40))
while [ "$(log_lines)" -lt $((frozen_lines + 6)) ]; do
    ((SECONDS < deadline)) || fail "the sweep stalled at $(log_lines) lines"
    count=$(log_lines)
    if [ "$count" != "$last_count" ]; then
        at=$(now_ms)
        ((at - last_at > longest)) && longest=$((at - last_at))
        last_count=$count last_at=$at
    fi
    sleep 0.02
done
echo "frozen owner during the sweep: the sweep went on; longest gap between lines ${longest} ms" \
    "(one address takes ~500 ms, the rest is the read waiting for the frozen owner)"
stop_at=$(now_ms)
# The Start button, now the Stop button, has kept the focus.
press "$window" space
wait_until 10 "the viewer after the stop" test -s "$viewer_calls"
stopped_after=$(($(now_ms) - stop_at))
lines=$(log_lines)
sleep 1.5 # three more time-outs' worth: a sweep still running would add lines
[ "$(log_lines)" = "$lines" ] || fail "the log still grows after the stop"
[ "$(wc -l <"$viewer_calls")" = 1 ] || fail "viewer calls: $(cat "$viewer_calls")"
[ "$(grep -c $',--> NG,\r$' "$log")" = "$lines" ] || fail "a damaged line: $(cat -A "$log")"
has_window "$pid" Tobrik || fail "the window is gone"
echo "stop by the button with a frozen clipboard owner: stopped after ${stopped_after} ms with $lines lines: ok"
