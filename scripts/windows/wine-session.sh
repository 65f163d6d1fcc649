#!/bin/bash
# The wine session of the Windows tests, run by scripts/windows-tests.sh
# inside a network namespace lab (tests/lab/in_lab.sh), on what
# scripts/windows/build.sh and scripts/windows/pack.sh made: boots a wine
# prefix under build-win, keeps one wineserver running and runs ctest in
# build-win (unit and Windows layer tests) and in build-win-gui (window tests, the
# version record, icon and manifest of tobrik.exe); then checks the
# installer (scripts/windows/installer-check.sh). Wine does its network calls
# partly in helper processes of that wineserver, so the whole session stays
# inside the lab.
#
# Usage (as root): tests/lab/in_lab.sh --hostname tobrik-ten -- scripts/windows/wine-session.sh
set -euo pipefail
# shellcheck source=scripts/windows/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

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
    ctest --test-dir "$build" --output-on-failure --timeout 120 -j"$(nproc)" || status=$?
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

    "$root/scripts/windows/installer-check.sh" || status=$?
    log "the installer under wine checked (status so far $status)"
    return "$status"
}

run_wine_session
