#!/bin/bash
# Makes tobrik-<version>-windows-x64.zip, the Windows program as a folder a
# user unpacks and runs: tobrik.exe with the Qt and MinGW runtime DLLs, the
# platform and style plugins and Qt's Japanese translation.
#
# Usage: scripts/windows-zip.sh [BUILD_DIR] [OUTPUT_DIR]
#   BUILD_DIR   a configured windows-cross-gui build (default <repo>/build-win-gui);
#               it is built first
#   OUTPUT_DIR  where the zip goes (default: the repository's top folder)
# The version is the file version of the program's version record.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build-win-gui}
output=${2:-$root}

[[ -f $build/CMakeCache.txt ]] || {
    echo "windows-zip: $build is not configured; run: cmake --preset windows-cross-gui" >&2
    exit 1
}
version=$(sed -n 's/.*VALUE "FileVersion", "\([^"\\]*\).*/\1/p' "$root/ui/tobrik.rc")
name=tobrik-$version-windows-x64

cmake --build "$build" -j2 --target tobrik
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
cmake --install "$build" --prefix "$staging/$name" >/dev/null
"$root/scripts/windows-release-check.sh" "$staging/$name" >/dev/null
output=$(mkdir -p "$output" && cd "$output" && pwd)
rm -f "$output/$name.zip"
(cd "$staging" && zip -qr9 "$output/$name.zip" "$name")
echo "$output/$name.zip"
