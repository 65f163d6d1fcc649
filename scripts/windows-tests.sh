#!/bin/bash
# Cross-builds Tobrik for 64-bit Windows (MinGW-w64) and runs it and its
# tests under wine.
#
# Usage (as root): bash scripts/windows-tests.sh
#
# 1. installs the Debian packages of scripts/packages/{base,test,windows}.txt
#    that are missing, and the ja_JP.UTF-8 locale (wine's code page 932);
# 2. configures and builds build-win with cmake/mingw-w64-x86_64.cmake: the
#    network module, the result log and the window's logic, no Qt;
# 3. builds Qt for Windows with scripts/qt-for-windows.sh, or reuses the
#    one it cached (about half an hour the first time);
# 4. configures build-win-gui with cmake/mingw-w64-x86_64-gui.cmake and
#    builds tobrik.exe, the window tests and win_check; installs the release
#    folder into build-win-gui/release and checks its DLLs
#    (scripts/windows-release-check.sh);
# 5. inside a network namespace lab (tests/lab/in_lab.sh) boots a wine
#    prefix under build-win, keeps one wineserver running and runs ctest in
#    build-win (unit and Win32 tests) and in build-win-gui (window tests,
#    the version record and icon of tobrik.exe); then the end-to-end test
#    runs the release folder's tobrik.exe under wine on an X server of its
#    own, as a user would (tests/e2e/e2e.sh --wine). Wine does its network
#    calls partly in helper processes of that wineserver, so the whole wine
#    session stays inside the lab.
#
# Environment: TOBRIK_WIN_BUILD_DIR (default <repo>/build-win),
# TOBRIK_WIN_GUI_BUILD_DIR (default <repo>/build-win-gui); TOBRIK_SKIP_LAB=1
# runs the tests on loopback alone, outside a lab, when the lab cannot be
# built (the cases that need the lab skip then, and so does the end-to-end
# test, with a message).
# Exits non-zero on any failure.

set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TOBRIK_WIN_BUILD_DIR:-$root/build-win}
gui_build=${TOBRIK_WIN_GUI_BUILD_DIR:-$root/build-win-gui}

log() { echo "windows-tests: $*"; }

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }

# The part that runs inside the lab (or on loopback alone): wine prefix,
# wineserver and ctest.
run_wine_session() {
    export WINEPREFIX=$build/wineprefix DISPLAY=
    source "$root/tests/support/desktop.sh"
    use_wine
    : >"$build/wine-session.log"

    # One persistent wineserver for the session (without it every test would
    # wait for wine's helpers to start and stop again); one of this prefix
    # left from an earlier run may sit outside the lab, so it goes first.
    start_wineserver

    local start
    start=$(now)
    # The boot starts wine's services now; a test that started them would
    # leave them holding ctest's output pipe. Wine's helper processes
    # outlive the command that starts them and keep its output open, so
    # their output goes to a file, not to a pipe that reads this script.
    "$wine" wineboot -i >>"$build/wine-session.log" 2>&1

    # Wine has none of Windows' Japanese UI faces; its font replacements
    # give the first one the window asks for a Japanese face of this machine.
    "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' \
        /t REG_SZ /d IPAPGothic /f >>"$build/wine-session.log" 2>&1
    log "wine prefix ready in $(since "$start") s"

    start=$(now)
    local status=0
    ctest --test-dir "$build" --output-on-failure --timeout 120 || status=$?
    log "ctest finished in $(since "$start") s with status $status"

    # The window tests show windows: wine needs an X server for them, and a
    # window manager to activate the windows they wait for. Its desktop
    # process takes the display of the first program that starts, so the
    # wineserver starts anew with the X server there.
    start=$(now)
    start_desktop
    export TOBRIK_WINE_DISPLAY=$DISPLAY
    start_wineserver
    # As above: wine's services start here, not under ctest's output pipe.
    "$wine" wineboot >>"$build/wine-session.log" 2>&1
    LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8 \
        ctest --test-dir "$gui_build" -L window --output-on-failure --timeout 300 || status=$?
    log "window tests under wine finished in $(since "$start") s (status so far $status)"

    start=$(now)
    if [[ ${TOBRIK_LAB:-} == 1 ]]; then
        "$root/tests/e2e/e2e.sh" --wine "$gui_build/release" "$gui_build/wm_close" \
            "$gui_build/e2e-artifacts" "$gui_build/win_check.exe" || status=$?
        log "end-to-end test under wine finished in $(since "$start") s (status so far $status)"
    else
        log "LAB UNAVAILABLE: the end-to-end test under wine needs the lab; NOT RUN"
    fi
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
"$root/scripts/setup.sh" base test windows
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

# 3. Qt for Windows, built once into its cache.
start=$(now)
qt=$("$root/scripts/qt-for-windows.sh" | tail -n1)
log "Qt for Windows in $qt ($(since "$start") s)"

# 4. tobrik.exe, the window tests and the release folder.
start=$(now)
configure=(-S "$root" -B "$gui_build" -DTOBRIK_QT_WINDOWS="$qt")
if [[ ! -f $gui_build/CMakeCache.txt ]]; then
    configure+=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64-gui.cmake")
fi
cmake "${configure[@]}"
cmake --build "$gui_build" -j2 --target tobrik win_check window_startup_test \
    window_layout_test window_sweep_test fault_octet_input_test
rm -rf "$gui_build/release"
cmake --install "$gui_build" --prefix "$gui_build/release"
"$root/scripts/windows-release-check.sh" "$gui_build/release"
log "release folder: $(du -sh "$gui_build/release" | cut -f1), $(find "$gui_build/release" -type f | wc -l) files"
# The end-to-end test closes windows as a window manager would.
c++ -O1 -Wall -Wextra -o "$gui_build/wm_close" "$root/tests/e2e/wm_close.cpp" -lxcb
log "tobrik.exe built and laid out in $(since "$start") s"

# 5. Tests under wine, inside the lab. The lab's host name is one of its
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
