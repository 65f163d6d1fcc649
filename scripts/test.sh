#!/usr/bin/env bash
# Installs what is missing, builds and runs every test once: the real
# program's tests (CTest labels process, e2e and timing) in the plain build,
# the Debian package, the unit, window, lab and fault tests in the
# sanitizer build and the fuzz targets (scripts/hardening-tests.sh), and the
# Windows build under wine (scripts/windows-tests.sh), and the package on
# Debian 13 in a root of that release (tests/release/deb.sh --root trixie).
# Exits non-zero on any failure. The lab tests need root.
#
# Every stage's packages are installed in one step before anything else:
# an install beside a test (its unpacking, its triggers) would slow the test
# down by more than its time-outs allow.
#
# Most of the real program's tests, the package's check and the wine
# session wait on time-outs, X servers and apt rather than on the
# processor, so work that needs it runs beside them, at a lower priority:
# the Windows build (and, on a fresh machine, Qt for Windows) beside the
# Linux tests, the fuzz targets and the package on Debian 13 beside the wine
# session. The Debian 13 root (made once, cached) is made beside the build.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/test"
labels="process|e2e|timing"
stage() { echo "== test: $* ($((SECONDS / 60))m$((SECONDS % 60))s)"; }

"$root/scripts/setup.sh" base test lab hardening release windows
"$root/scripts/japanese-locale.sh"
"$root/scripts/check-format.sh"

# A part that runs beside the others writes into a file of its own, shown
# when it has ended; its failure fails the run.
beside=()
start_beside() {
    local name=$1
    shift
    mkdir -p "$build"
    # A session of its own, so that a failure elsewhere ends all of it.
    setsid -w nice -n 10 "$@" >"$build/$name.log" 2>&1 &
    beside+=("$name=$!")
}
end_all_beside() {
    local entry
    for entry in "${beside[@]}"; do
        kill -- "-${entry#*=}" 2>/dev/null || true
    done
}
trap end_all_beside EXIT
end_beside() {
    local entry name pid status=0
    for entry in "${beside[@]}"; do
        name=${entry%%=*} pid=${entry#*=}
        [[ $name == "$1" ]] || continue
        wait "$pid" || status=$?
        stage "$name (run beside the others) ended with status $status"
        cat "$build/$name.log"
        return "$status"
    done
}

stage "plain build"
start_beside debian13-root "$root/scripts/debian-root.sh" trixie root-trixie
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON >/dev/null
# What its tests run, the echo helper that goes beside the program, and the
# style plugin that the package's check plants.
mapfile -t programs < <("$root/scripts/test-programs.sh" "$build" -L "$labels")
cmake --build "$build" -j"$(nproc)" --target "${programs[@]}" tobrik-echo tobrik_packet_probe_style
end_beside debian13-root
start_beside windows-build "$root/scripts/windows-tests.sh" --build

stage "process, end-to-end and timing tests"
ctest --test-dir "$build" -L "$labels" --output-on-failure -j"$(nproc)"

stage "the Debian package"
export TOBRIK_PROBE_PLUGIN="$build/tests/fault/probe-plugin/tobrik_packet_probe_style.so"
"$root/tests/release/deb.sh"
deb="$root/build/release-artifacts/tobrik_$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)"
deb+="_$(dpkg-architecture -qDEB_HOST_ARCH).deb"

stage "sanitizer build and its tests"
"$root/scripts/hardening-tests.sh" sanitizers

end_beside windows-build
start_beside fuzz "$root/scripts/hardening-tests.sh" fuzz
start_beside debian13 "$root/tests/release/deb.sh" --root trixie "$deb"
stage "the Windows program under wine"
"$root/scripts/windows-tests.sh" --tests
end_beside debian13
end_beside fuzz
stage "done"
