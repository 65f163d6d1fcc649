#!/bin/bash
# The Windows downloads made and checked, from a build-win-gui that
# scripts/windows/build.sh --gui made.
#
# Usage: scripts/windows/pack.sh
#
# Lays out the release folder in build-win-gui/release, checks its DLLs and
# makes the downloads from it into build/release-artifacts
# (packaging/windows/release.sh). The zip, unpacked, must hold the release
# folder's files and pass the DLL check (packaging/windows/release-check.sh),
# and be the same, as the installer must, when a copy of the folder is
# packed again under other file times, modes, time zone and locale. An
# earlier release, a version lower and with one more DLL, is made the same
# way from a copy of the folder (into build-win-gui/earlier-release), for
# the installer's upgrade check.
set -euo pipefail
# shellcheck source=scripts/windows/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
release=$root/packaging/windows/release.sh

# The zip as a user unpacks it: one folder, the release folder's files.
check_zip() {
    local start unpacked=$gui_build/unpacked-zip
    start=$(now)
    rm -rf "$unpacked" && mkdir "$unpacked"
    unzip -q "$release_artifacts/tobrik-$version-windows-x64.zip" -d "$unpacked"
    [[ $(ls "$unpacked") == "tobrik-$version-windows-x64" ]] &&
        diff -r "$gui_build/release" "$unpacked/tobrik-$version-windows-x64" &&
        "$root/packaging/windows/release-check.sh" "$unpacked/tobrik-$version-windows-x64" >/dev/null || {
        log "FAILED: the zip is not the release folder ($unpacked)"
        exit 1
    }
    rm -rf "$unpacked"
    log "the zip checked in $(since "$start") s"
}

# Packed again from a copy (other times, modes, time zone, locale): the same
# bytes. It packs beside the earlier release (each packing keeps one core
# busy).
pack_again_beside_earlier_release() {
    local again=$gui_build/packed-again packing download
    rm -rf "$again" && (umask 077 && mkdir -p "$again" && cp -r "$gui_build/release" "$again/folder")
    find "$again/folder" -exec touch -d '2001-02-03 04:05:06' {} +
    (umask 077 && TZ=Asia/Tokyo LC_ALL=ja_JP.UTF-8 "$release" \
        --folder "$again/folder" --version "$version" "$gui_build" "$again" >/dev/null) &
    packing=$!
    make_earlier_release
    wait "$packing" || { log "FAILED: packing the release again" && exit 1; }
    for download in "tobrik-$version-windows-x64.zip" "tobrik-$version-setup-x64.exe"; do
        cmp "$release_artifacts/$download" "$again/$download" || { log "FAILED: $download differs" && exit 1; }
    done
}

# An earlier release of the same design, a version lower, that shipped one
# more DLL: what an upgrade must leave nothing of.
make_earlier_release() {
    local earlier=$gui_build/earlier-release
    rm -rf "$earlier" && mkdir -p "$earlier"
    cp -a "$gui_build/release" "$earlier/folder"
    cp "$earlier/folder/libwinpthread-1.dll" "$earlier/folder/Qt6Retired.dll"
    "$release" --fast --folder "$earlier/folder" \
        --version "$(awk -v v="$version" 'BEGIN { printf "%.2f", v - 0.01 }')" "$gui_build" "$earlier" >/dev/null
}

start=$(now)
"$release" "$gui_build" "$release_artifacts"
log "release folder: $(du -sh "$gui_build/release" | cut -f1), $(find "$gui_build/release" -type f | wc -l) files"
# shellcheck source=/dev/null # version= and file_version=, written by CMake
source "$gui_build/tobrik-release.env"
check_zip
pack_again_beside_earlier_release
log "packed and checked in $(since "$start") s"
