#!/bin/bash
# Runs one cross-built Windows executable under wine, headless, and exits
# with its exit code. The wine prefix is $WINEPREFIX when set, else
# "wineprefix" in the build directory that holds the executable.
# Usage: wine-run.sh <program.exe> [arguments...]
set -u
program=${1:?usage: wine-run.sh <program.exe> [arguments...]}

if [[ -z ${WINEPREFIX:-} ]]; then
    dir=$(cd "$(dirname "$program")" && pwd)
    while [[ $dir != / && ! -f $dir/CMakeCache.txt ]]; do
        dir=$(dirname "$dir")
    done
    if [[ ! -f $dir/CMakeCache.txt ]]; then
        echo "wine-run.sh: no build directory above $program; set WINEPREFIX" >&2
        exit 2
    fi
    export WINEPREFIX=$dir/wineprefix
fi
mkdir -p "$WINEPREFIX"

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree=;mshtml=}
export DISPLAY=

# Debian's plain "wine" warns about a missing 32-bit wine; 64-bit programs
# need only wine64.
wine=/usr/lib/wine/wine64
[[ -x $wine ]] || wine=$(command -v wine64 || command -v wine)
exec "$wine" "$@"
