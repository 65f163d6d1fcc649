#!/bin/bash
# The measurements with a name server that never answers, run inside
# tests/lab/in_lab.sh --hostname tobrik-lost --nsswitch "hosts: files dns"
# --uplink 10.78.0.5/24 --default-route up0 (see scripts/bench.sh): the
# host name is missing from the hosts file, and the peer 10.77.0.50 answers
# pings but has no name there.
#   start-up   process start → window mapped (tobrik_spawn_timer), 1 + 5 runs
#   stop       中止 pressed during the peer's look-up (once the name server
#              got its query) → end of the sweep (the viewer started), 5 runs
#
# Usage: time_dead_name_server.sh SPAWN_TIMER TOBRIK RAW_OUT
# Appends "case<TAB>tool<TAB>metric<TAB>value" lines to RAW_OUT.

set -euo pipefail
timer=$1 program=$2 raw=$3
runs=${TOBRIK_DEAD_DNS_RUNS:-5}

[ "${TOBRIK_LAB:-}" = 1 ] || {
    echo "time_dead_name_server.sh: run me through tests/lab/in_lab.sh" >&2
    exit 2
}
tests="$(cd "$(dirname "$0")/../tests" && pwd)"
source "$tests/support/desktop.sh"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
note() { printf '%s\n' "bench: $*" >&2; }
record() { printf '%s\t%s\t%s\t%s\n' "$@" >>"$raw"; }

start_dead_name_server 900
install_program "$program"
start_desktop

note "dead name server: start-up, 1 + $runs runs"
# The first run warms the caches (fonts, shared libraries) and is left out.
TMPDIR="$work/app" "$timer" --until-mapped --title Tobrik --runs $((runs + 1)) --timeout 60 -- \
    "$program" | tail -n +2 |
    awk '$1 == "mapped_ms" { printf "dead-dns\ttobrik\tmapped_ms\t%s\n", $2 }' >>"$raw"

note "dead name server: 中止 during a look-up, $runs runs"
patience=60
open_window
for run in $(seq "$runs"); do
    sweep_peer 60
    click "${START[@]}" # 中止
    begun=$(now_ms)
    wait_until 60 "the end of the sweep" viewers "$run"
    record dead-dns tobrik stop_ms "$(($(now_ms) - begun))"
done
kill_program "$pid"
note "done"
