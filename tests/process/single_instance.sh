#!/bin/bash
# One instance at a time: a second one shows only its refusal and ends; a
# killed instance does not block the next, nor does one of another user; of
# eight started at once exactly one stays. Runs inside the lab (the program
# looks up the local host).
source "$(dirname "$0")/../support/desktop.sh"
start_desktop
install_program "$1"

start_program
first=$started
wait_until 10 "the first window" has_window "$first" Tobrik

start_program
second=$started
wait_until 10 "the refusal" has_window "$second" "ロードエラー"
has_window "$second" Tobrik && fail "the second instance showed its window"
press "$(window_of "$second" "ロードエラー")" Return
wait_until 5 "the second instance to end" exited "$second"
wait "$second" || fail "the second instance ended with status $?"
exited "$first" && fail "the first instance ended"
has_window "$first" Tobrik || fail "the first instance lost its window"

kill -9 "$first"
wait "$first" 2>/dev/null
start_program
third=$started
wait_until 10 "a window after a killed instance" has_window "$third" Tobrik
kill -9 "$third"
wait "$third" 2>/dev/null

# start_as UID: starts one instance as that user, with a runtime folder of
# its own, as a login gives it.
start_as() {
    local runtime="$work/runtime-$1"
    mkdir -p -m 0700 "$runtime"
    chown "$1" "$runtime"
    setpriv --reuid="$1" --regid="$1" --clear-groups --inh-caps=-all -- \
        env XDG_RUNTIME_DIR="$runtime" "$program" 2>>"$work/program-errors" &
    started=$!
    children+=("$started")
}
start_as 65534
other=$started
wait_until 10 "another user's window" has_window "$other" Tobrik
kill -9 "$other"
wait "$other" 2>/dev/null
start_as 65533
fourth=$started
within 10 has_window "$fourth" Tobrik ||
    fail "a lock left by another user's killed instance refused the start"
kill -9 "$fourth"
wait "$fourth" 2>/dev/null

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
    press "$(window_of "$pid" "ロードエラー")" Return
    wait_until 5 "a refused instance to end" exited "$pid"
done
running=0
for pid in "${pids[@]}"; do
    exited "$pid" || running=$((running + 1))
done
[ "$running" = 1 ] || fail "$running instances still run"
echo "single instance: ok"
