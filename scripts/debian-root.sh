#!/usr/bin/env bash
# Makes a minimal Debian root file system of another release with
# debootstrap (from Debian's own archive) and caches it:
#   ${TOBRIK_CACHE:-/var/cache/tobrik}/debian-<suite>-<recipe>
# <recipe> is the start of the SHA-256 of the suite, the archive, the
# package list and this script, so that a change of any of them makes the
# root anew. A folder holding the stamp file .complete (written last) is
# reused as it is and never changed: scripts/in-debian-root.sh runs commands
# in it, each run's changes in a layer of that run's own.
# Prints the folder on its last line of standard output; everything else
# goes to standard error. Needs root.
#
# Usage: scripts/debian-root.sh SUITE [LIST]
#   LIST: the packages of scripts/packages/LIST.txt, installed besides the
#   minimal base (Essential and apt), with their dependencies
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cache="${TOBRIK_CACHE:-/var/cache/tobrik}"
archive=http://deb.debian.org/debian
suite=${1:?usage: $0 SUITE [LIST]}
list=${2:-}

say() { echo "debian-root: $*" >&2; }

packages=()
if [[ -n $list ]]; then
    [[ -f $here/packages/$list.txt ]] || { say "no package list $here/packages/$list.txt"; exit 1; }
    mapfile -t packages < <(grep -v -e '^#' -e '^[[:space:]]*$' "$here/packages/$list.txt")
fi
recipe=$({ echo "$suite $archive"; printf '%s\n' "${packages[@]}"; cat "${BASH_SOURCE[0]}"; } |
    sha256sum | cut -c1-8)
folder="$cache/debian-$suite-$recipe"

mkdir -p "$cache"
# Two runs at once make it once; the second waits and reuses it.
exec 9>"$folder.lock"
flock 9
if [[ -f $folder/.complete ]]; then
    say "reusing $folder"
    echo "$folder"
    exit 0
fi

command -v debootstrap >/dev/null || "$here/setup.sh" release >&2
work="$cache/work-${folder##*/}"
start=$SECONDS
rm -rf "$work" "$folder"
include=$(IFS=, && echo "${packages[*]}")
say "making a Debian $suite root in $folder"
if ! debootstrap --variant=minbase ${include:+--include="$include"} "$suite" "$work" "$archive" \
    >"$work.log" 2>&1; then
    tail -n 30 "$work.log" >&2
    say "debootstrap failed; its whole output is in $work.log"
    exit 1
fi
# The packages' downloads are not needed any more.
rm -f "$work"/var/cache/apt/archives/*.deb "$work.log"
mv "$work" "$folder"
date -u +%FT%TZ >"$folder/.complete"
say "made the Debian $suite root in $((SECONDS - start)) s"
echo "$folder"
