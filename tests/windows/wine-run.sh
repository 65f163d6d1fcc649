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
# Headless, unless the program needs an X server (window tests).
export DISPLAY=${TOBRIK_WINE_DISPLAY:-}
# Folders of the DLLs the program imports (':'-separated Linux paths), for
# programs that use DLLs rather than carry their runtime.
if [[ -n ${TOBRIK_WINE_DLL_DIRS:-} ]]; then
    IFS=: read -ra dll_dirs <<<"$TOBRIK_WINE_DLL_DIRS"
    for dir in "${dll_dirs[@]}"; do
        WINEPATH+="${WINEPATH:+;}Z:${dir//\//\\}"
    done
    export WINEPATH
fi

# Debian's plain "wine" warns about a missing 32-bit wine; 64-bit programs
# need only wine64.
wine=/usr/lib/wine/wine64
[[ -x $wine ]] || wine=$(command -v wine64 || command -v wine)
# Qt's tests under wine write their report into the file named by
# TOBRIK_WINE_SHOW_FILE (their standard output goes to the debugger when no
# console window is attached); it is shown here, converted from the ANSI code
# page of the locale.
if [[ -n ${TOBRIK_WINE_SHOW_FILE:-} ]]; then
    rm -f "$TOBRIK_WINE_SHOW_FILE"
    status=0
    "$wine" "$@" || status=$?
    if [[ -f $TOBRIK_WINE_SHOW_FILE ]]; then
        case ${LC_ALL:-${LANG:-}} in
        ja_JP*) iconv -c -f CP932 -t UTF-8 "$TOBRIK_WINE_SHOW_FILE" ;;
        *) cat "$TOBRIK_WINE_SHOW_FILE" ;;
        esac
    else
        echo "wine-run.sh: $1 wrote no report ($TOBRIK_WINE_SHOW_FILE)"
    fi
    exit "$status"
fi
exec "$wine" "$@"
