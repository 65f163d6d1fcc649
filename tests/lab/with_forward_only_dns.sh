#!/bin/bash
# Runs a command while the lab's forward-only name server answers.
# Usage: with_forward_only_dns.sh [--silent] [--log=FILE] [NAME=ADDRESS...] -- CMD ARGS...
# (the options of forward_only_dns.py: --silent for a server that never answers)
set -u
names=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    names+=("$1")
    shift
done
shift
fifo=$(mktemp -u /tmp/tobrik-dns.XXXXXX)
mkfifo "$fifo"
python3 "$(dirname "$0")/forward_only_dns.py" "${names[@]}" >"$fifo" &
server=$!
trap 'kill "$server" 2>/dev/null; rm -f "$fifo"' EXIT
read -r -t 10 ready <"$fifo"
[ "${ready:-}" = ready ] || {
    echo "with_forward_only_dns.sh: the name server did not start" >&2
    exit 1
}
"$@"
