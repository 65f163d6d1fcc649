#!/usr/bin/env bash
# Builds Qt for 64-bit Windows (MinGW-w64) from Debian's own source of the
# host's Qt, and installs it into a cache folder outside the source tree:
#   ${TOBRIK_CACHE:-/var/cache/tobrik}/qt-<Debian version>-mingw-w64-gcc<major>-<options>
# The folder is keyed by the exact Debian version of the source, since the
# licence notes shipped with the program name that version, and by the
# configure options below (<options>: the start of their SHA-256), so that
# a change of them builds anew. A folder holding
# the stamp file .complete (written last) is reused as it is. The source
# itself, Debian's .dsc and its tarballs as apt-get source fetched them, is
# kept in its folder source/, which packaging/windows/release.sh publishes
# beside the program (fetched now for a folder made before it was kept).
# With TOBRIK_QT_SOURCE=<folder> Qt's source is taken from that folder (the
# published tobrik-<version>-qt-source.tar, unpacked) instead of Debian's
# archive; it must be the host's Qt version all the same.
# Prints the folder on its last line of standard output; everything else goes
# to standard error. Needs root for apt-get.
#
# With --folder it prints the folder alone, built or not, and changes
# nothing: the one place that names it, for the CMake toolchain file and
# packaging/windows/release.sh, so that no other folder in the cache (an
# older Debian version's, or one of other options) is ever taken for it.
#
# Only what the window and its tests need is built: Core, Gui, Widgets, Test,
# the platform plugins (windows, minimal, offscreen) and the styles.
# (Direct2D stays on: with it off, Qt 6.4's windows platform plugin does not
# link.) moc, rcc and uic come from the host (qt6-base-dev-tools). A clean
# build takes 20 to 35 minutes on two cores.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cache="${TOBRIK_CACHE:-/var/cache/tobrik}"

say() { echo "qt-for-windows: $*" >&2; }

[[ ${1:-} == --folder ]] || "$root/scripts/setup.sh" base windows >&2

# What the folder is named after: the host's Qt, whose source is built, and
# the major version of the MinGW-w64 compilers.
host_version=$(dpkg-query -W -f='${db:Status-Status} ${Version}' qt6-base-dev 2>/dev/null) &&
    [[ $host_version == "installed "* ]] &&
    gcc_major=$(x86_64-w64-mingw32-g++-posix -dumpversion 2>/dev/null) || {
    say "qt6-base-dev and the MinGW-w64 compilers name Qt for Windows's folder;" \
        "install them with: scripts/setup.sh base windows"
    exit 1
}
host_version=${host_version#installed } # e.g. 6.4.2+dfsg-10
qt_version=${host_version%%+*}
qt_version=${qt_version%%-*}
gcc_major=${gcc_major%%.*}
gcc_major=${gcc_major%%-*}
source_version=${host_version#*:} # without an epoch, e.g. 6.4.2+dfsg-10
options=(
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF
    -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF
    -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
    -DFEATURE_tabletevent=OFF
    # Qt's own script compresses the MIME database into a gzip stream
    # without a time; CMake's archive writer would stamp it with the build's.
    -DQT_AVOID_CMAKE_ARCHIVING_API=ON
)
# The build folder's path is mapped to a fixed one wherever it would land
# in the binaries (__FILE__ in Qt's warnings), so that a build in any folder
# gives the same bytes.
path_map='-ffile-prefix-map=@work@=/usr/src/qt6-base'
recipe=$(printf '%s\n' "${options[@]}" "$path_map" | sha256sum | cut -c1-8)
prefix="$cache/qt-$source_version-mingw-w64-gcc$gcc_major-$recipe"
if [[ ${1:-} == --folder ]]; then
    echo "$prefix"
    exit 0
fi

# Debian's source index for the machine's own suites, beside the binary one.
enable_sources() {
    if apt-cache showsrc qt6-base 2>/dev/null | grep -q '^Package: qt6-base'; then
        return
    fi
    local list=/etc/apt/sources.list.d/debian.sources
    [[ -f $list ]] || { say "no $list to take the source suites from"; exit 1; }
    say "enabling Debian's source index (/etc/apt/sources.list.d/tobrik-deb-src.sources)"
    sed -e 's/^Types:.*/Types: deb-src/' "$list" >/etc/apt/sources.list.d/tobrik-deb-src.sources
    apt-get update -qq >&2
}

# fetch_source FOLDER: Debian's source of the host's Qt into FOLDER, as
# apt-get source fetches it (checked against the signed index), or copied
# from $TOBRIK_QT_SOURCE.
fetch_source() {
    mkdir -p "$1"
    if [[ -n ${TOBRIK_QT_SOURCE:-} ]]; then
        cp "$TOBRIK_QT_SOURCE"/qt6-base_* "$1/"
    else
        enable_sources
        (cd "$1" && apt-get source --download-only "qt6-base=$host_version" >&2) || exit 1
    fi
    [[ -f $1/qt6-base_$source_version.dsc ]] || {
        say "no source of the host's Qt $host_version in $1: $(ls "$1")"
        exit 1
    }
}

if [[ -f $prefix/.complete ]]; then
    if [[ ! -f $prefix/source/qt6-base_$source_version.dsc ]]; then
        rm -rf "$prefix/source.part"
        fetch_source "$prefix/source.part"
        mv "$prefix/source.part" "$prefix/source"
    fi
    say "reusing $prefix"
    echo "$prefix"
    exit 0
fi

work="$cache/work-${prefix##*/}"
start=$(date +%s)
rm -rf "$work" "$prefix"
fetch_source "$work/download"
# Checked against the .dsc's own hashes; Debian's signature on it is
# checked by apt-get, not here.
dpkg-source --no-check -x "$work/download/qt6-base_$source_version.dsc" "$work/src" >&2

cmake -S "$work/src" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64-compilers.cmake" \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_SHARED_LIBS=ON \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_C_FLAGS="${path_map/@work@/$work}" \
    -DCMAKE_CXX_FLAGS="${path_map/@work@/$work}" \
    "${options[@]}" >&2
cmake --build "$work/build" -j"$(nproc)" >&2
cmake --install "$work/build" >&2
mv "$work/download" "$prefix/source"
rm -rf "$work"
date -u +%FT%TZ >"$prefix/.complete"
say "built Qt $qt_version for Windows in $(($(date +%s) - start)) s into $prefix"
echo "$prefix"
