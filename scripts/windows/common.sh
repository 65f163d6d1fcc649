# shellcheck shell=bash disable=SC2034 # the variables are for the scripts that source this
# What the Windows test jobs share (source it): the repository, the two
# cross-builds, the folder of the downloads, and the log and its timings.
# Environment: TOBRIK_WIN_BUILD_DIR (default <repo>/build-win),
# TOBRIK_WIN_GUI_BUILD_DIR (default <repo>/build-win-gui).

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${TOBRIK_WIN_BUILD_DIR:-$root/build-win}
gui_build=${TOBRIK_WIN_GUI_BUILD_DIR:-$root/build-win-gui}
release_artifacts=$root/build/release-artifacts

log() { echo "windows-tests: $*"; }

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }
