#!/bin/bash
# The Windows installer as a user runs it, silently (/S), under wine: run by
# scripts/windows/wine-session.sh inside the lab, on what
# scripts/windows/pack.sh made (the downloads and an earlier release).
#
# On Windows 8.1 it refuses, and so it does a folder that may not be
# written, cannot be one or is too long, and a disk too full for the
# uninstaller, before anything is written, saying so on its standard error.
# Over an earlier release of the same design that shipped one more DLL:
# while that release's tobrik.exe runs, the install exits non-zero and
# changes nothing; with a folder in a DLL's place it fails part-way,
# non-zero, leaving the uninstaller and its entry but not the folder to
# offer next time; then the upgrade leaves exactly the release folder's
# files, the uninstaller, the user's own file and tobrik.log; a Start-menu
# shortcut and the uninstall entry are there; the installed tobrik.exe
# sweeps and logs beside itself (the end-to-end test, in the lab); the
# entry's quiet uninstall removes all that was installed and keeps
# tobrik.log and the user's file.
#
# Usage (as root, in the wine session's environment):
#   scripts/windows/installer-check.sh
# Prints one line per check; exits non-zero when any failed. Every check
# runs, whatever the one before it gave: no set -e.
set -uo pipefail
# shellcheck source=scripts/windows/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
export WINEPREFIX=$build/wineprefix
# shellcheck source=tests/support/desktop.sh
source "$root/tests/support/desktop.sh"
use_wine

check_installer() {
    local status=0 start key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tobrik'
    check() {
        if "${@:2}"; then log "ok   - $1"; else log "FAIL - $1" && status=1; fi
    }
    # A wineserver with wine's services started, their output in the log
    # (see scripts/windows/wine-session.sh).
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

check_installer
