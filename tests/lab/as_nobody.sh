#!/bin/bash
# Runs a program as the unprivileged user nobody, without capabilities.
# Usage: as_nobody.sh PROGRAM ARGS...
#
# The build tree may sit below directories that nobody cannot enter, so the
# program is copied into a fresh directory under /tmp that everyone may
# read and run, and removed afterwards.
set -u
umask 022
[ $# -ge 1 ] || {
    echo "usage: $0 PROGRAM ARGS..." >&2
    exit 2
}
command -v setpriv >/dev/null 2>&1 || {
    echo "as_nobody.sh: 'setpriv' not found (install util-linux)" >&2
    exit 1
}
program=$1
shift
dir=$(mktemp -d /tmp/tobrik-unprivileged.XXXXXX) || exit 1
trap 'rm -rf "$dir"' EXIT
chmod 755 "$dir"
install -m 755 "$program" "$dir/" || exit 1
group=nogroup
getent group nogroup >/dev/null || group=nobody
cd "$dir" || exit 1
setpriv --reuid=nobody --regid="$group" --clear-groups --inh-caps=-all \
    "$dir/$(basename "$program")" "$@"
