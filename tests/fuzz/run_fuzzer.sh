#!/bin/bash
# Runs one libFuzzer target.
#   run_fuzzer.sh seeds TARGET SEED_DIR
#       every seed once
#   run_fuzzer.sh run TARGET SEED_DIR WORK_DIR SECONDS
#       fuzzes for SECONDS on WORK_DIR (seeded from SEED_DIR); on a crash the
#       input is kept in WORK_DIR/artifacts. Prints one summary line:
#       "fuzz <name>: <runs> runs in <s>s, coverage <cov> edges (seeds alone
#       <cov>), features <ft>, corpus <n>", also kept in WORK_DIR/summary.txt.
set -u
mode=$1 target=$2 seeds=$3
name=$(basename "$target")
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
case "$mode" in
seeds)
    exec "$target" -runs=0 "$seeds"
    ;;
run)
    work=$4 seconds=$5
    mkdir -p "$work/corpus" "$work/artifacts"
    cp -n "$seeds"/* "$work/corpus/" 2>/dev/null
    out="$work/last-run.txt"
    "$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$work/artifacts/" "$work/corpus" >"$out" 2>&1
    status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out")
    last=$(grep -E '^#[0-9]+' "$out" | tail -1)
    seeded=$(grep -m1 -E '^#[0-9]+.*INITED' "$out" | sed -n 's/.* cov: \([0-9]*\).*/\1/p')
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    corp=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<<"$last")
    summary="fuzz $name: ${runs:-?} runs in ${seconds}s, coverage ${cov:-?} edges (seeds alone ${seeded:-?}), features ${ft:-?}, corpus ${corp:-?}, status $status"
    echo "$summary" | tee "$work/summary.txt"
    if [ "$status" != 0 ]; then
        tail -60 "$out"
        echo "crash input(s): $(ls "$work/artifacts")"
    fi
    exit "$status"
    ;;
*)
    echo "usage: $0 seeds|run TARGET SEED_DIR [WORK_DIR SECONDS]" >&2
    exit 2
    ;;
esac
