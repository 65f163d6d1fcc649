#!/usr/bin/env bash
# Hardening checks, run by scripts/test.sh after the plain build's tests:
#   1. the unit, window, lab and fault tests, built with AddressSanitizer
#      and UndefinedBehaviorSanitizer (build-asan), where alone they run;
#      any sanitizer report fails the run;
#   2. the libFuzzer targets of tests/fuzz (build-fuzz, clang): each over its
#      seed corpus, then fuzzing for a budget that fits its code, times
#      TOBRIK_FUZZ_SCALE (default 1); the coverage each reached is shown.
# Usage: scripts/hardening-tests.sh [sanitizers | fuzz]   (default: both)
# Needs root for the lab tests, like scripts/test.sh.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
asan="$root/build-asan"
fuzz="$root/build-fuzz"
jobs="$(nproc)"
plain="process|e2e|timing" # the labels of the plain build's tests
scale="${TOBRIK_FUZZ_SCALE:-1}"
part="${1:-both}"
[[ $part =~ ^(sanitizers|fuzz|both)$ ]] || {
    echo "usage: $0 [sanitizers | fuzz]" >&2
    exit 2
}

"$root/scripts/setup.sh" base test lab hardening

stage() { echo "== hardening: $* ($((SECONDS / 60))m$((SECONDS % 60))s)"; }

sanitized_tests() {
    stage "sanitizer build"
    # The sanitizers ask for no more than -O1, and their reports for no more
    # debug information than line tables: half the compile time of -O2 -g.
    cmake -S "$root" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON \
        -DTOBRIK_SANITIZE=ON -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" >/dev/null
    # What its tests run, no more.
    mapfile -t programs < <("$root/scripts/test-programs.sh" "$asan" -LE "$plain")
    cmake --build "$asan" -j"$jobs" --target "${programs[@]}"

    stage "unit, window, lab and fault tests under the sanitizers"
    # The real program under Xvfb (labels "process" and "e2e") and the tests
    # that bound times (label "timing"; the sanitizers slow everything down)
    # run in the plain build alone.
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
    report="$asan/sanitized-tests.log"
    status=0
    ctest --test-dir "$asan" -LE "$plain" --output-on-failure -j"$jobs" -O "$report" || status=$?
    if grep -nE 'ERROR: (Address|Leak)Sanitizer|runtime error:|SUMMARY: UndefinedBehaviorSanitizer' \
        "$report"; then
        echo "hardening: sanitizer reports above (full output: $report)" >&2
        status=1
    fi
    return "$status"
}

fuzz_targets() {
    stage "fuzz targets"
    cmake -S "$root/tests/fuzz" -B "$fuzz" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
        -DTOBRIK_FUZZ_SCALE="$scale" >/dev/null
    cmake --build "$fuzz" -j"$jobs"
    unset ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS
    rm -rf "$fuzz/work"
    status=0
    ctest --test-dir "$fuzz" -L fuzz --output-on-failure -j"$jobs" || status=$?
    cat "$fuzz"/work/*/summary.txt 2>/dev/null || echo "hardening: no fuzz target reported" >&2
    return "$status"
}

# Called as plain commands, so that set -e holds inside them too.
if [[ $part != fuzz ]]; then
    sanitized_tests
fi
if [[ $part != sanitizers ]]; then
    fuzz_targets
fi
stage "done"
