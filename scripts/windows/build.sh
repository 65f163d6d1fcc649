#!/bin/bash
# The cross-builds of Tobrik for 64-bit Windows (MinGW-w64), in two stages.
#
# Usage (as root): scripts/windows/build.sh --base | --gui
#   --base  installs the Debian packages of scripts/packages/{base,test,windows}.txt
#           that are missing, and the ja_JP.UTF-8 locale (wine's code page 932);
#           configures and builds build-win with cmake/mingw-w64-x86_64.cmake:
#           the network module, the result log and the window's logic, no Qt;
#           builds Qt for Windows with scripts/qt-for-windows.sh, or reuses the
#           one it cached (about half an hour the first time)
#   --gui   configures build-win-gui with cmake/mingw-w64-x86_64-gui.cmake and
#           builds tobrik.exe, the window tests and win_check, and what the
#           end-to-end test under wine needs beside them (wm_close and the
#           planted NOTEPAD.EXE)
set -euo pipefail
# shellcheck source=scripts/windows/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# configure BUILD TOOLCHAIN ARGS...: cmake for BUILD, with Ninja and the
# toolchain file when it is configured the first time.
configure() {
    local configure=(-S "$root" -B "$1" "${@:3}")
    if [[ ! -f $1/CMakeCache.txt ]]; then
        configure+=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$2")
    fi
    cmake "${configure[@]}"
}

build_base() {
    "$root/scripts/setup.sh" base test windows
    "$root/scripts/japanese-locale.sh"

    local start
    start=$(now)
    configure "$build" mingw-w64-x86_64.cmake -DTOBRIK_BUILD_GUI=OFF
    cmake --build "$build" -j2
    log "cross-build done in $(since "$start") s"

    start=$(now)
    local qt
    qt=$("$root/scripts/qt-for-windows.sh" | tail -n1)
    log "Qt for Windows in $qt ($(since "$start") s)"
}

build_gui() {
    local start
    start=$(now)
    configure "$gui_build" mingw-w64-x86_64-gui.cmake \
        -DTOBRIK_QT_WINDOWS="$("$root/scripts/qt-for-windows.sh" --folder)"
    cmake --build "$gui_build" -j2 --target tobrik win_check window_startup_test \
        window_layout_test window_sweep_test
    # The end-to-end test closes windows as a window manager would.
    c++ -O1 -Wall -Wextra -o "$gui_build/wm_close" "$root/tests/e2e/wm_close.cpp" -lxcb
    # It starts the program in a folder that holds this NOTEPAD.EXE.
    x86_64-w64-mingw32-gcc-posix -O1 -Wall -Wextra -o "$gui_build/planted_notepad.exe" \
        "$root/tests/e2e/planted_notepad.c"
    log "tobrik.exe and its tests built in $(since "$start") s"
}

case ${1:-} in
--base) build_base ;;
--gui) build_gui ;;
*)
    sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
    exit 2
    ;;
esac
