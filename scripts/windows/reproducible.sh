#!/bin/bash
# The Windows downloads built anew, as the README tells a user to check
# them, from a second copy of the source as it stands: the files git tracks
# or would add, as they are in the working tree, copied (nothing is written
# into the repository) into DIR/tobrik, and built there under another time
# zone, locale and umask, with the same Qt for Windows, into OUTPUT.
# scripts/windows-tests.sh runs it beside its own build and compares the
# downloads.
#
# Usage: scripts/windows/reproducible.sh DIR OUTPUT
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
copy=${1:?usage: reproducible.sh DIR OUTPUT}/tobrik
output=${2:?usage: reproducible.sh DIR OUTPUT}

umask 027
mkdir "$copy"
git -C "$root" ls-files -z --cached --others --exclude-standard |
    (cd "$root" && while IFS= read -r -d '' file; do
        [[ -e $file || -L $file ]] && printf '%s\0' "$file"
    done) | tar -C "$root" --null -T - -cf - |
    tar -C "$copy" --no-same-permissions --touch -xf -
cd "$copy"
export TZ=America/St_Johns LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
cmake --preset windows-cross-gui
packaging/windows/release.sh build-win-gui "$output"
