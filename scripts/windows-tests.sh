#!/bin/bash
# Cross-builds the network module and the result log for 64-bit Windows
# (MinGW-w64, no Qt) and runs their tests under wine.
#
# Usage (as root): bash scripts/windows-tests.sh
#
# 1. installs the Debian packages of scripts/packages/windows.txt that are
#    missing, and the ja_JP.UTF-8 locale (wine's code page 932);
# 2. configures and builds build-win with cmake/mingw-w64-x86_64.cmake;
# 3. inside a network namespace lab (tests/lab/in_lab.sh) boots a wine
#    prefix under build-win, keeps one wineserver running for all tests and
#    runs ctest. Wine does its network calls partly in helper processes of
#    that wineserver, so the whole wine session stays inside the lab.
#
# Environment: TOBRIK_WIN_BUILD_DIR (default <repo>/build-win);
# TOBRIK_SKIP_LAB=1 runs the tests on loopback alone, outside a lab, when the
# lab cannot be built (the cases that need the lab skip then).
# Exits non-zero on any failure.

set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TOBRIK_WIN_BUILD_DIR:-$root/build-win}
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64

log() { echo "windows-tests: $*"; }

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }

# The part that runs inside the lab (or on loopback alone): wine prefix,
# wineserver and ctest.
run_wine_session() {
    export WINEPREFIX=$build/wineprefix
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree=;mshtml="
    export DISPLAY=
    mkdir -p "$WINEPREFIX"
    : >"$build/wine-session.log"

    # A wineserver of this prefix left from an earlier run may sit outside
    # the lab; wine would use it and its helpers' network, so it goes first.
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
    # One persistent wineserver for the session; without it every test
    # would wait for wine's helpers to start and stop again.
    # Wine's helper processes outlive the command that starts them and keep
    # its output open, so their output goes to a file: a pipe reading this
    # script would otherwise stay open until the wineserver ends.
    "$wineserver" -p >>"$build/wine-session.log" 2>&1
    trap '"$wineserver" -k 2>/dev/null || true; "$wineserver" -w 2>/dev/null || true' EXIT

    local start
    start=$(now)
    # The boot starts wine's services now; a test that started them would
    # leave them holding ctest's output pipe.
    "$wine" wineboot -i >>"$build/wine-session.log" 2>&1
    log "wine prefix ready in $(since "$start") s"

    start=$(now)
    local status=0
    ctest --test-dir "$build" --output-on-failure --timeout 120 || status=$?
    log "ctest finished in $(since "$start") s with status $status"
    return "$status"
}

if [[ ${1:-} == --wine-session ]]; then
    run_wine_session
    exit
fi

[[ $(id -u) == 0 ]] || {
    echo "windows-tests: run as root (apt-get, network namespaces)" >&2
    exit 1
}

# 1. Packages and locale.
"$root/scripts/setup.sh" windows
"$root/scripts/japanese-locale.sh"

# 2. Cross-build.
start=$(now)
configure=(-S "$root" -B "$build" -DTOBRIK_BUILD_GUI=OFF)
if [[ ! -f $build/CMakeCache.txt ]]; then
    configure+=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake")
fi
cmake "${configure[@]}"
cmake --build "$build" -j2
log "cross-build done in $(since "$start") s"

# 3. Tests under wine, inside the lab. The lab's host name is one of its
# hosts file's names.
status=0
"$root/tests/lab/in_lab.sh" --hostname tobrik-ten -- \
    bash "${BASH_SOURCE[0]}" --wine-session || status=$?
if [[ $status == 77 ]]; then
    log "LAB UNAVAILABLE: running the Windows tests on loopback alone; lab cases skip"
    status=0
    env -u TOBRIK_LAB bash "${BASH_SOURCE[0]}" --wine-session || status=$?
fi
if [[ $status != 0 ]]; then
    log "FAILED (status $status)"
    exit "$status"
fi
log "all Windows tests passed"
