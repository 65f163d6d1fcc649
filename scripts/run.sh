#!/usr/bin/env bash
# Installs what is missing, builds the Release program and starts it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/release"

"$root/scripts/setup.sh" base
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target tobrik tobrik-echo
# The capability, where ICMP needs one, goes to the echo helper, never to
# the program, which loads Qt and its plugins.
"$root/scripts/icmp-permission.sh" "$build/app/tobrik-echo"
exec "$build/app/tobrik"
