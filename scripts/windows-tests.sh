#!/bin/bash
# Cross-builds Tobrik for 64-bit Windows (MinGW-w64) and runs it and its
# tests under wine.
#
# Usage (as root): bash scripts/windows-tests.sh [--build | --tests]
#   --build  steps 1 to 3 alone; --tests  step 4 alone, on what --build made
#
# 1. scripts/windows/build.sh --base: the packages and locale, the Qt-free
#    cross-build in build-win, and Qt for Windows (built once, cached);
# 2. scripts/windows/build.sh --gui: tobrik.exe, the window tests and
#    win_check in build-win-gui; beside it and step 3, the downloads are
#    built anew from a second copy of the source in another folder
#    (scripts/windows/reproducible.sh), and must be the same to the byte;
# 3. scripts/windows/pack.sh: the release folder in build-win-gui/release,
#    the downloads from it in build/release-artifacts, checked, packed again
#    and compared, and an earlier release for the upgrade check;
# 4. inside a network namespace lab (tests/lab/in_lab.sh), the wine session
#    (scripts/windows/wine-session.sh): ctest under wine in both builds, then the
#    installer (scripts/windows/installer-check.sh).
#
# Environment: TOBRIK_WIN_BUILD_DIR (default <repo>/build-win),
# TOBRIK_WIN_GUI_BUILD_DIR (default <repo>/build-win-gui). The tests need
# the lab: where it cannot be built they fail.
# Exits non-zero on any failure.

set -euo pipefail
# shellcheck source=scripts/windows/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/windows/common.sh"

mode=${1:-}
[[ -z $mode || $mode == --build || $mode == --tests ]] || {
    sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
    exit 2
}

# The build in a second copy ends with this script, and its folder under
# /tmp (about 0.9 GB) goes, however the script ends.
rebuilding=
elsewhere=
clean_up() {
    if [[ -n $rebuilding ]]; then
        kill -- "-$rebuilding" 2>/dev/null || true
        wait "$rebuilding" 2>/dev/null || true
    fi
    rm -rf "$elsewhere"
}
trap clean_up EXIT
trap 'exit 143' TERM INT

[[ $(id -u) == 0 ]] || {
    echo "windows-tests: run as root (apt-get, network namespaces)" >&2
    exit 1
}

# The downloads built again in a second copy, in a session of its own that
# ends with this script, beside the build and packing here (once Qt for
# Windows is there).
start_building_elsewhere() {
    elsewhere=$(mktemp -d /tmp/tobrik-elsewhere-XXXXXX)
    built_elsewhere=$gui_build/built-elsewhere
    rm -rf "$built_elsewhere" && mkdir -p "$built_elsewhere"
    start_elsewhere=$(now)
    setsid bash "$root/scripts/windows/reproducible.sh" "$elsewhere" "$built_elsewhere/downloads" \
        >"$built_elsewhere/build.log" 2>&1 &
    rebuilding=$!
}

# Built again elsewhere: the same downloads.
compare_built_elsewhere() {
    wait "$rebuilding" || { log "FAILED: building in a second copy ($built_elsewhere/build.log)" && exit 1; }
    rebuilding=
    # shellcheck source=/dev/null # version= and file_version=, written by CMake
    source "$gui_build/tobrik-release.env"
    for download in "tobrik-$version-windows-x64.zip" "tobrik-$version-setup-x64.exe" \
        "tobrik-$version-qt-source.tar"; do
        cmp "$release_artifacts/$download" "$built_elsewhere/downloads/$download" ||
            { log "FAILED: $download built in a second copy ($built_elsewhere) differs" && exit 1; }
    done
    log "built again in a second copy: the same downloads ($(since "$start_elsewhere") s beside the rest)"
    rm -rf "$elsewhere"
}

if [[ $mode != --tests ]]; then
    "$root/scripts/windows/build.sh" --base
    start_building_elsewhere
    "$root/scripts/windows/build.sh" --gui
    "$root/scripts/windows/pack.sh"
    compare_built_elsewhere
fi
[[ $mode != --build ]] || exit 0

# 4. Tests under wine, inside the lab. The lab's host name is one of its
# hosts file's names.
status=0
"$root/tests/lab/in_lab.sh" --hostname tobrik-ten -- \
    bash "$root/scripts/windows/wine-session.sh" || status=$?
if [[ $status != 0 ]]; then
    log "FAILED (status $status)"
    exit "$status"
fi
log "all Windows tests passed"
