#!/usr/bin/env bash
# Installs what is missing, builds and runs every test once: the real
# program's tests (CTest labels process, e2e and timing) in the plain build,
# the Debian package, then the unit, window, lab and fault tests in the
# sanitizer build and the fuzz targets (scripts/hardening-tests.sh), then the
# Windows build under wine. Exits non-zero on any failure. The lab tests
# need root.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/test"
labels="process|e2e|timing"
stage() { echo "== test: $* ($((SECONDS / 60))m$((SECONDS % 60))s)"; }

"$root/scripts/setup.sh" base test lab
"$root/scripts/japanese-locale.sh"
"$root/scripts/check-format.sh"

stage "plain build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON >/dev/null
# What its tests run, the echo helper that goes beside the program, and the
# style plugin that the package's check plants.
mapfile -t programs < <("$root/scripts/test-programs.sh" "$build" -L "$labels")
cmake --build "$build" -j"$(nproc)" --target "${programs[@]}" tobrik-echo tobrik_packet_probe_style
stage "process, end-to-end and timing tests"
ctest --test-dir "$build" -L "$labels" --output-on-failure -j"$(nproc)"

stage "the Debian package"
TOBRIK_PROBE_PLUGIN="$build/tests/fault/probe-plugin/tobrik_packet_probe_style.so" \
    "$root/tests/release/deb.sh"

# Sanitizer build and fuzzing.
"$root/scripts/hardening-tests.sh"

stage "the Windows build"
"$root/scripts/windows-tests.sh"
stage "done"
