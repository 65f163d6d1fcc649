#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the unit,
# window, lab and end-to-end tests of the Linux build, the Debian package,
# the sanitizer build and the fuzz targets, then the Windows build under
# wine. Exits non-zero on any failure. The lab tests need root.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/test"

"$root/scripts/setup.sh" base test lab
"$root/scripts/japanese-locale.sh"
"$root/scripts/check-format.sh"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"

# The Debian package, built, installed, run and removed as a user would.
"$root/tests/release/deb.sh"

# Sanitizer build and fuzzing.
"$root/scripts/hardening-tests.sh"

"$root/scripts/windows-tests.sh"
