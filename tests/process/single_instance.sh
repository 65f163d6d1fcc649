#!/bin/bash
# One instance at a time: a second one shows only its refusal and ends; a
# killed instance does not block the next, nor does one of another user; of
# eight started at once exactly one stays. Runs inside the lab (the program
# looks up the local host).
source "$(dirname "$0")/../support/desktop.sh"
start_desktop
install_program "$1"

open_window
first=$pid

start_program
second=$started
wait_until 10 "the refusal" has_window "$second" "ロードエラー"
has_window "$second" Tobrik && fail "the second instance showed its window"
answer "$second" "ロードエラー" || fail "the refusal could not be answered"
wait_until 5 "the second instance to end" exited "$second"
wait "$second" || fail "the second instance ended with status $?"
exited "$first" && fail "the first instance ended"
has_window "$first" Tobrik || fail "the first instance lost its window"

kill_program "$first"
open_window # after a killed instance
kill_program "$pid"

# Other users, each with a runtime folder of its own.
open_window run_as 65534
kill_program "$pid"
start_program run_as 65533
within 10 has_window "$started" Tobrik ||
    fail "a lock left by another user's killed instance refused the start"
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
