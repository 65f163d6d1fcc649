#!/bin/bash
# Cross-builds Tobrik for 64-bit Windows (MinGW-w64) and runs it and its
# tests under wine.
#
# Usage (as root): bash scripts/windows-tests.sh [--build | --tests]
#   --build  steps 1 to 4 alone; --tests  step 5 alone, on what --build made
#
# 1. installs the Debian packages of scripts/packages/{base,test,windows}.txt
#    that are missing, and the ja_JP.UTF-8 locale (wine's code page 932);
# 2. configures and builds build-win with cmake/mingw-w64-x86_64.cmake: the
#    network module, the result log and the window's logic, no Qt;
# 3. builds Qt for Windows with scripts/qt-for-windows.sh, or reuses the
#    one it cached (about half an hour the first time);
# 4. configures build-win-gui with cmake/mingw-w64-x86_64-gui.cmake and
#    builds tobrik.exe, the window tests and win_check; lays out the release
#    folder in build-win-gui/release, checks its DLLs and makes the downloads
#    from it into build/release-artifacts (packaging/windows/release.sh); the
#    zip, unpacked, must hold the release folder's files and pass the DLL
#    check (packaging/windows/release-check.sh), and be the same when packed
#    again elsewhere, and the downloads the same when built anew from a
#    second copy of the source in another folder (build_elsewhere, beside
#    the rest of this step); an earlier release, a version lower and with one more
#    DLL, is made the same way from a copy of the folder (into
#    build-win-gui/earlier-release);
# 5. inside a network namespace lab (tests/lab/in_lab.sh) boots a wine
#    prefix under build-win, keeps one wineserver running and runs ctest in
#    build-win (unit and Win32 tests) and in build-win-gui (window tests,
#    the version record, icon and manifest of tobrik.exe); then the
#    installer runs silently (/S) in the prefix: refused on Windows 8.1, in
#    a read-only folder, a folder that cannot be one or is too long, on a
#    full disk and while the earlier release's tobrik.exe runs,
#    failing part-way with a folder in a DLL's place, then as an upgrade
#    over that release; the installed
#    tobrik.exe goes through the end-to-end test in place, as a user would
#    (tests/e2e/e2e.sh --wine --in-place), and the uninstaller runs as the
#    uninstall entry says (check_installer). Wine does its network calls
#    partly in helper processes of that wineserver, so the whole wine
#    session stays inside the lab.
#
# Environment: TOBRIK_WIN_BUILD_DIR (default <repo>/build-win),
# TOBRIK_WIN_GUI_BUILD_DIR (default <repo>/build-win-gui). The tests need
# the lab: where it cannot be built they fail.
# Exits non-zero on any failure.

set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TOBRIK_WIN_BUILD_DIR:-$root/build-win}
gui_build=${TOBRIK_WIN_GUI_BUILD_DIR:-$root/build-win-gui}
release_artifacts=$root/build/release-artifacts

log() { echo "windows-tests: $*"; }

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }

# check_installer: the installer as a user runs it, silently (/S). On
# Windows 8.1 it refuses, and so it does a folder that may not be written,
# cannot be one or is too long, and a disk too full for the uninstaller,
# before anything is written, saying so on its standard error. Over an earlier release of the same design that
# shipped one more DLL: while that release's tobrik.exe runs, the install
# exits non-zero and changes nothing; with a folder in a DLL's place it
# fails part-way, non-zero, leaving the uninstaller and its entry but not
# the folder to offer next time; then the
# upgrade leaves exactly the release folder's files, the uninstaller, the
# user's own file and tobrik.log; a Start-menu shortcut and the uninstall entry are there; the
# installed tobrik.exe sweeps and logs beside itself (the end-to-end test,
# in the lab); the entry's quiet uninstall removes all that was installed
# and keeps tobrik.log and the user's file.
check_installer() {
    local status=0 start key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tobrik'
    check() {
        if "${@:2}"; then log "ok   - $1"; else log "FAIL - $1" && status=1; fi
    }
    # A wineserver with wine's services started, their output in the log
    # (see run_wine_session).
    wine_up() {
        start_wineserver
        "$wine" wineboot >>"$build/wine-session.log" 2>&1
    }
    # The prefix's folder of a Windows environment variable.
    unix_path() { "$wine" winepath -u "$("$wine" cmd /c echo "%$1%" | tr -d '\r')"; }
    # install SETUP: runs the installer silently; its exit code.
    install() { "$wine" "$1" /S >>"$build/wine-session.log" 2>&1; }
    refused() { ! install "$1"; }
    kept() { grep -qx "the user's own" "$folder/notes.txt" && grep -qx "the user's results" "$folder/tobrik.log"; }
    has_entry() { "$wine" reg query "$key" >/dev/null 2>&1; }
    no_entry() { ! has_entry; }
    # shellcheck source=/dev/null # version= and file_version=, written by CMake
    source "$gui_build/tobrik-release.env"
    local setup=$release_artifacts/tobrik-$version-setup-x64.exe earlier
    earlier=$(ls "$gui_build"/earlier-release/tobrik-*-setup-x64.exe)
    start=$(now)
    wine_up
    local folder menu entry
    folder=$(unix_path LOCALAPPDATA)/Programs/Tobrik
    menu=$(unix_path APPDATA)'/Microsoft/Windows/Start Menu/Programs'
    rm -rf "$folder" "$menu/Tobrik.lnk" # an earlier run's, should it have stopped half-way
    "$wine" reg delete "$key" /f >/dev/null 2>&1 || true

    "$wine" winecfg -v win81 >>"$build/wine-session.log" 2>&1
    check "on Windows 8.1 the installer exits non-zero" refused "$earlier"
    check "on Windows 8.1 nothing is installed" test ! -e "$folder"
    "$wine" winecfg -v win10 >>"$build/wine-session.log" 2>&1

    # A read-only file system, which root (wine runs as root here) cannot
    # write either: the folder itself, and a folder to be made in it.
    local read_only=$build/read-only-folder target code
    mkdir -p "$read_only" && mount -t tmpfs -o ro,size=16k tobrik-read-only "$read_only"
    "$wine" cmd /c "echo x> $("$wine" winepath -w "$read_only")\\probe.txt" >/dev/null 2>&1
    check "the read-only folder refuses a write from wine" test ! -e "$read_only/probe.txt"
    # Also refused: folders that cannot be one (a missing drive, a file in
    # the way), paths too long for Windows (beyond MAX_PATH, and beyond what
    # the installer reads of its command line), and a file system too full
    # for the uninstaller.
    local file=$build/a-file full=$build/full-folder long=$build
    echo x >"$file"
    mkdir -p "$full" && mount -t tmpfs -o size=16k tobrik-full "$full"
    while ((${#long} < 1100)); do long+=/$(printf 'long-folder-%.0s' {1..15}); done
    check "drive Q: is missing" test ! -e "$WINEPREFIX/dosdevices/q:"
    for target in "$read_only" "$read_only/Tobrik" 'Q:\Tobrik' "$file" "$file/Tobrik" \
        "${long:0:300}" "$long" "$full"; do
        [[ $target != /* ]] || target=$("$wine" winepath -w "$target")
        code=0
        "$wine" "$setup" /S "/D=$target" 2>"$build/refusal.txt" >/dev/null || code=$?
        check "into ${target:0:60}: exits with 2" test "$code" = 2
        check "into ${target:0:60}: says why on its standard error" \
            grep -qF "${target:0:200}" "$build/refusal.txt"
        check "into ${target:0:60}: no uninstall entry, no folder remembered" no_entry
    done
    check "refused: no Start-menu shortcut" test ! -e "$menu/Tobrik.lnk"
    check "refused: nothing in the default folder" test ! -e "$folder"
    umount "$read_only" "$full"

    install "$earlier" || check "the earlier installer exits with 0" false
    echo "the user's own" >"$folder/notes.txt"
    echo "the user's results" >"$folder/tobrik.log"
    local running snapshot=$build/installed-before
    "$wine" "$folder/tobrik.exe" 2>>"$build/wine-session.log" &
    running=$!
    children+=("$running")
    if within 60 has_window "" Tobrik; then
        rm -rf "$snapshot" && cp -a "$folder" "$snapshot"
        check "while tobrik.exe runs the installer exits non-zero" refused "$setup"
        check "while tobrik.exe runs the install is left as it was" diff -r "$snapshot" "$folder"
        check "the earlier tobrik.exe still runs" kill -0 "$running"
        rm -rf "$snapshot"
    else
        check "the earlier tobrik.exe shows its window" false
    fi
    kill "$running" 2>/dev/null
    wait "$running" 2>/dev/null || true
    start_wineserver # wine's processes of the program end with it

    # A folder in a DLL's place fails the upgrade after the uninstaller and its entry.
    rm "$folder/Qt6Widgets.dll" && mkdir "$folder/Qt6Widgets.dll"
    check "with a folder in a DLL's place the upgrade exits non-zero" refused "$setup"
    check "failed part-way: uninstall.exe is there" test -f "$folder/uninstall.exe"
    check "failed part-way: the uninstall entry is there" has_entry
    no_location() { ! "$wine" reg query "$key" /v InstallLocation >/dev/null 2>&1; }
    check "failed part-way: the folder is not offered next time" no_location
    rmdir "$folder/Qt6Widgets.dll"

    install "$setup" || check "the installer exits with 0" false
    check "installed again: the release folder's files, the user's and tobrik.log" \
        diff -r -x uninstall.exe -x notes.txt -x tobrik.log "$gui_build/release" "$folder"
    check "upgraded: the user's file and tobrik.log stay" kept
    check "installed: uninstall.exe" test -f "$folder/uninstall.exe"
    check "installed: the Start-menu shortcut to tobrik.exe" \
        grep -qaF 'AppData\Local\Programs\Tobrik\tobrik.exe' "$menu/Tobrik.lnk"
    entry=$("$wine" reg query "$key" | tr -d '\r')
    local value
    for value in "DisplayName Tobrik" "DisplayVersion $version" "Publisher dorIzezovedivu"; do
        check "installed: the uninstall entry's $value" \
            grep -qE "^ +${value% *} +REG_SZ +${value#* }\$" <<<"$entry"
    done
    log "installed in $(since "$start") s"

    if [[ ${TOBRIK_LAB:-} == 1 ]]; then
        start=$(now)
        "$root/tests/e2e/e2e.sh" --wine --in-place "$folder" "$gui_build/wm_close" \
            "$gui_build/e2e-artifacts" "$gui_build/win_check.exe" \
            "$gui_build/planted_notepad.exe" || status=$?
        log "end-to-end test of the installed program finished in $(since "$start") s"
    else
        log "LAB UNAVAILABLE: the end-to-end test under wine needs the lab; NOT RUN"
    fi

    start=$(now)
    wine_up
    local quiet uninstaller
    quiet=$(sed -n 's/^ *QuietUninstallString *REG_SZ *//p' <<<"$entry")
    uninstaller=${quiet#\"}
    uninstaller=${uninstaller%%\"*}
    # shellcheck disable=SC2086 # the arguments as the entry gives them
    "$wine" "$uninstaller" ${quiet##*\"} >>"$build/wine-session.log" 2>&1 ||
        check "the uninstaller exits with 0" false
    # The uninstaller works from a copy of itself, which it starts and leaves.
    local waited=0
    while [[ -e $folder/uninstall.exe ]] && ((waited++ < 100)); do sleep 0.1; done
    check "uninstalled: only the user's file and tobrik.log are left" \
        test "$(ls -A "$folder" | tr '\n' ' ')" = "notes.txt tobrik.log "
    check "uninstalled: no shortcut" test ! -e "$menu/Tobrik.lnk"
    check "uninstalled: no uninstall entry" no_entry
    log "uninstalled in $(since "$start") s"
    return "$status"
}

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

    check_installer || status=$?
    log "the installer under wine checked (status so far $status)"
    return "$status"
}

# build_elsewhere DIR OUTPUT: the downloads built anew, as the README tells
# a user to check them, from a second copy of the source as it stands (the
# files git tracks or would add, as they are in the working tree, copied;
# nothing is written into the repository) in DIR/tobrik, under another time
# zone, locale and umask, with the same Qt for Windows: into OUTPUT.
build_elsewhere() {
    umask 027
    mkdir "$1/tobrik"
    git -C "$root" ls-files -z --cached --others --exclude-standard |
        (cd "$root" && while IFS= read -r -d '' file; do
            [[ -e $file || -L $file ]] && printf '%s\0' "$file"
        done) | tar -C "$root" --null -T - -cf - |
        tar -C "$1/tobrik" --no-same-permissions --touch -xf -
    cd "$1/tobrik"
    export TZ=America/St_Johns LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
    cmake --preset windows-cross-gui
    packaging/windows/release.sh build-win-gui "$2"
}

if [[ ${1:-} == --wine-session ]]; then
    run_wine_session
    exit
elif [[ ${1:-} == --elsewhere ]]; then
    build_elsewhere "$2" "$3"
    exit
fi
mode=${1:-}
[[ -z $mode || $mode == --build || $mode == --tests ]] || {
    sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
    exit 2
}

# A build in a second copy (build_and_pack) ends with this script, and its
# folder under /tmp (about 0.9 GB) goes, however the script ends.
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

build_and_pack() {
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
    # The downloads built again elsewhere (build_elsewhere), beside the rest
    # of this build, in a session of its own that ends with this script.
    elsewhere=$(mktemp -d /tmp/tobrik-elsewhere-XXXXXX)
    built_elsewhere=$gui_build/built-elsewhere
    rm -rf "$built_elsewhere" && mkdir -p "$built_elsewhere"
    start_elsewhere=$(now)
    setsid bash "${BASH_SOURCE[0]}" --elsewhere "$elsewhere" "$built_elsewhere/downloads" \
        >"$built_elsewhere/build.log" 2>&1 &
    rebuilding=$!

    # 4. tobrik.exe, the window tests and the release folder.
    start=$(now)
    configure=(-S "$root" -B "$gui_build" -DTOBRIK_QT_WINDOWS="$qt")
    if [[ ! -f $gui_build/CMakeCache.txt ]]; then
        configure+=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64-gui.cmake")
    fi
    cmake "${configure[@]}"
    cmake --build "$gui_build" -j2 --target tobrik win_check window_startup_test \
        window_layout_test window_sweep_test
    "$root/packaging/windows/release.sh" "$gui_build" "$release_artifacts"
    log "release folder: $(du -sh "$gui_build/release" | cut -f1), $(find "$gui_build/release" -type f | wc -l) files"
    # The zip as a user unpacks it: one folder, the release folder's files.
    start_zip=$(now)
    unpacked=$gui_build/unpacked-zip
    rm -rf "$unpacked" && mkdir "$unpacked"
    # shellcheck source=/dev/null # version= and file_version=, written by CMake
    source "$gui_build/tobrik-release.env"
    unzip -q "$release_artifacts/tobrik-$version-windows-x64.zip" -d "$unpacked"
    [[ $(ls "$unpacked") == "tobrik-$version-windows-x64" ]] &&
        diff -r "$gui_build/release" "$unpacked/tobrik-$version-windows-x64" &&
        "$root/packaging/windows/release-check.sh" "$unpacked/tobrik-$version-windows-x64" >/dev/null || {
        log "FAILED: the zip is not the release folder ($unpacked)"
        exit 1
    }
    rm -rf "$unpacked"
    log "the zip checked in $(since "$start_zip") s"
    # Packed again from a copy (other times, modes, time zone, locale): the same
    # bytes. It packs beside the earlier release below (each packing keeps one
    # core busy).
    again=$gui_build/packed-again
    rm -rf "$again" && (umask 077 && mkdir -p "$again" && cp -r "$gui_build/release" "$again/folder")
    find "$again/folder" -exec touch -d '2001-02-03 04:05:06' {} +
    (umask 077 && TZ=Asia/Tokyo LC_ALL=ja_JP.UTF-8 "$root/packaging/windows/release.sh" \
        --folder "$again/folder" --version "$version" "$gui_build" "$again" >/dev/null) &
    packing=$!
    # An earlier release of the same design, a version lower, that shipped one
    # more DLL: what an upgrade must leave nothing of.
    earlier=$gui_build/earlier-release
    rm -rf "$earlier" && mkdir -p "$earlier"
    cp -a "$gui_build/release" "$earlier/folder"
    cp "$earlier/folder/libwinpthread-1.dll" "$earlier/folder/Qt6Retired.dll"
    "$root/packaging/windows/release.sh" --fast --folder "$earlier/folder" \
        --version "$(awk -v v="$version" 'BEGIN { printf "%.2f", v - 0.01 }')" "$gui_build" "$earlier" >/dev/null
    wait "$packing" || { log "FAILED: packing the release again" && exit 1; }
    for download in "tobrik-$version-windows-x64.zip" "tobrik-$version-setup-x64.exe"; do
        cmp "$release_artifacts/$download" "$again/$download" || { log "FAILED: $download differs" && exit 1; }
    done
    # Built again elsewhere: the same downloads.
    wait "$rebuilding" || { log "FAILED: building in a second copy ($built_elsewhere/build.log)" && exit 1; }
    rebuilding=
    for download in "tobrik-$version-windows-x64.zip" "tobrik-$version-setup-x64.exe" \
        "tobrik-$version-qt-source.tar"; do
        cmp "$release_artifacts/$download" "$built_elsewhere/downloads/$download" ||
            { log "FAILED: $download built in a second copy ($built_elsewhere) differs" && exit 1; }
    done
    log "built again in a second copy: the same downloads ($(since "$start_elsewhere") s beside the rest)"
    rm -rf "$elsewhere"
    # The end-to-end test closes windows as a window manager would.
    c++ -O1 -Wall -Wextra -o "$gui_build/wm_close" "$root/tests/e2e/wm_close.cpp" -lxcb
    # It starts the program in a folder that holds this NOTEPAD.EXE.
    x86_64-w64-mingw32-gcc-posix -O1 -Wall -Wextra -o "$gui_build/planted_notepad.exe" \
        "$root/tests/e2e/planted_notepad.c"
    log "tobrik.exe built and laid out in $(since "$start") s"
}

if [[ $mode != --tests ]]; then
    build_and_pack
fi
[[ $mode != --build ]] || exit 0

# 5. Tests under wine, inside the lab. The lab's host name is one of its
# hosts file's names.
status=0
"$root/tests/lab/in_lab.sh" --hostname tobrik-ten -- \
    bash "${BASH_SOURCE[0]}" --wine-session || status=$?
if [[ $status != 0 ]]; then
    log "FAILED (status $status)"
    exit "$status"
fi
log "all Windows tests passed"
