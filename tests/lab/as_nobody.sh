#!/bin/bash
# Runs a program as the unprivileged user nobody, without capabilities.
# Usage: as_nobody.sh PROGRAM ARGS...
#
# The build tree may sit below directories that nobody cannot enter, so the
# program is copied into a folder under /tmp that everyone may read and run.
[ $# -ge 1 ] || {
    echo "usage: $0 PROGRAM ARGS..." >&2
    exit 2
}
source "$(dirname "$0")/../support/desktop.sh"
umask 022
install -m 755 "$1" "$work/" || exit 1
# The echo helper beside it, as it was built: without a capability.
helper="$(dirname "$1")/tobrik-echo"
[ ! -e "$helper" ] || install -m 755 "$helper" "$work/" || exit 1
program="$work/$(basename "$1")"
shift
(run_as nobody "$program" "$@")
