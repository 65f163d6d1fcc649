#!/bin/bash
# Makes the Windows downloads of Tobrik from its release folder:
#   tobrik-<version>-setup-x64.exe    the installer (packaging/windows/installer.nsi):
#                                     per user, into %LOCALAPPDATA%\Programs\Tobrik
#   tobrik-<version>-windows-x64.zip  one folder to unpack where the user can write
#   tobrik-<version>-qt-source.tar    the exact source of the Qt they carry: Debian's
#                                     .dsc and its tarballs, as apt-get source fetched
#                                     them (scripts/qt-for-windows.sh keeps them)
#   SHA256SUMS                        the checksums of the version's downloads in
#                                     OUTPUT_DIR, the .deb of scripts/build-deb.sh included
#                                     when it is there
# The installer and the zip hold the same files: tobrik.exe, the DLLs,
# plugins and translation it needs, LICENSE.txt and licenses/.
#
# Made twice from one commit and the same Qt for Windows, the downloads are
# the same to the byte, whatever the folder, time zone, umask, locale and
# time of day: every time they store is the release's date
# (SOURCE_DATE_EPOCH, debian/changelog's, as dpkg-buildpackage takes it for
# the .deb), files go in in byte order with fixed modes, and the installed
# size counts bytes, not the file system's blocks.
#
# Usage: packaging/windows/release.sh [--folder DIR --version X.YY] [BUILD_DIR] [OUTPUT_DIR]
#   BUILD_DIR   a configured windows-cross-gui build (default <repo>/build-win-gui):
#               tobrik.exe is built, the release folder laid out in
#               BUILD_DIR/release (cmake --install) and its DLLs checked
#               (packaging/windows/release-check.sh)
#   OUTPUT_DIR  where they go (default <repo>/build/release-artifacts)
#   --folder DIR, --version X.YY
#               pack DIR as it stands, as release X.YY, into the installer and
#               the zip alone: nothing is built or checked (the tests make an
#               earlier release this way, and pack a folder twice to compare)
#   --fast      with --folder: the installer compressed quickly, not small (a
#               test's earlier release, where only its contents count)
# The version is the CMake project's, from BUILD_DIR/tobrik-release.env.
# makensis and zip come from scripts/setup.sh windows.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
folder_given= version_given= compressor=()
while [[ ${1:-} == --* ]]; do
    case $1 in
    --folder) folder_given=$(cd "$2" && pwd) ;;
    --version) version_given=$2 ;;
    --fast) # the script's own SetCompressor is then passed over without a warning
        compressor=(-X"!pragma warning disable 8020" -X"SetCompressor /FINAL zlib")
        shift && continue
        ;;
    *) echo "windows-release: unknown option $1" >&2 && exit 2 ;;
    esac
    shift 2
done
[[ -n $folder_given && -n $version_given || -z $folder_given$version_given ]] || {
    echo "windows-release: --folder and --version go together" >&2
    exit 2
}
build=${1:-$root/build-win-gui}
output=${2:-$root/build/release-artifacts}

say() { echo "windows-release: $*" >&2; }
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }

[[ -n $folder_given || -f $build/CMakeCache.txt ]] || {
    say "$build is not configured; run: cmake --preset windows-cross-gui"
    exit 1
}
for tool in makensis zip python3 dpkg-parsechangelog; do
    command -v "$tool" >/dev/null || {
        say "$tool is missing; run: scripts/setup.sh base windows"
        exit 1
    }
done

if [[ -n $folder_given ]]; then
    release=$folder_given
    version=$version_given
    # 1.02 -> 1.2.0.0, as Windows' version records give it
    file_version=$(awk -F. '{ printf "%d.%d.0.0", $1, $2 }' <<<"$version")
else
    recipe_qt=$("$root/scripts/qt-for-windows.sh" --folder)
    # The release carries the Qt of this source's recipe, whose source it
    # publishes, and no other one: neither one that the build was asked for
    # nor one that CMake found instead (a Qt6_DIR kept in the build's cache
    # from an earlier configuration). Checked again after the build, which
    # may have configured anew.
    check_qt() {
        # shellcheck source=/dev/null # version=, file_version=, qt_prefix=, qt_used=, written by CMake
        source "$build/tobrik-release.env"
        # shellcheck disable=SC2154 # qt_prefix and qt_used, from the file above
        if [[ $qt_prefix != "$recipe_qt" ]]; then
            say "$build was configured with Qt for Windows in $qt_prefix; a release uses" \
                "$recipe_qt (scripts/qt-for-windows.sh builds it): configure with -DTOBRIK_QT_WINDOWS=$recipe_qt"
            exit 1
        elif [[ -z ${qt_used:-} || $(realpath -m "$qt_used") != $(realpath -m "$recipe_qt") ]]; then
            say "$build builds with the Qt for Windows in ${qt_used:-an unknown folder}, not $recipe_qt" \
                "(CMake kept an earlier Qt6_DIR): remove $build/CMakeCache.txt and configure again" \
                "with -DTOBRIK_QT_WINDOWS=$recipe_qt"
            exit 1
        fi
    }
    check_qt
    qt_source=$recipe_qt/source
    [[ -f $(echo "$qt_source"/qt6-base_*.dsc) ]] || {
        say "no Qt source in $qt_source; run: scripts/qt-for-windows.sh"
        exit 1
    }
    cmake --build "$build" -j2 --target tobrik >&2
    check_qt # again, should the build have configured anew
    release=$(cd "$build" && pwd)/release # makensis reads the files by absolute path
    rm -rf "$release"
    cmake --install "$build" --prefix "$release" >&2
    "$here/release-check.sh" "$release" >&2
fi
mkdir -p "$output"
output=$(cd "$output" && pwd)

# What the downloads store does not depend on the machine's settings.
SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Timestamp)
export SOURCE_DATE_EPOCH LC_ALL=C TZ=UTC0
umask 022

# The folder as it is packed: a copy with the release's date on every file
# and folder, folders 755 and files 644.
name=tobrik-$version-windows-x64
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
cp -r "$release" "$staging/$name"
find "$staging/$name" -type d -exec chmod 755 {} +
find "$staging/$name" -type f -exec chmod 644 {} +
find "$staging/$name" -exec touch -d "@$SOURCE_DATE_EPOCH" {} +
packed=$staging/$name

start=$(now)
rm -f "$output/$name.zip"
# -X: no owner and no extra time stamps; the DOS times in UTC (TZ).
(cd "$staging" && find "$name" | sort | zip -qX9 "$output/$name.zip" -@)
say "zip in $(since "$start") s"

# The installer takes the folder's files by name, and the uninstaller
# deletes them by the same names, then each folder left empty, deepest
# first: what the user put there stays. The finish page's picture is drawn
# from the program's icon.
start=$(now)
setup=$output/tobrik-$version-setup-x64.exe
files=$staging/files.nsh
unfiles=$staging/unfiles.nsh
: >"$files"
: >"$unfiles"
while IFS= read -r folder; do
    windows_folder=${folder#.}
    windows_folder=${windows_folder//\//\\}
    echo "SetOutPath \"\$INSTDIR$windows_folder\"" >>"$files"
    while IFS= read -r file; do
        echo "File \"$packed/${file#./}\"" >>"$files"
        file=${file#.}
        echo "Delete \"\$INSTDIR${file//\//\\}\"" >>"$unfiles"
    done < <(cd "$packed" && find "$folder" -maxdepth 1 -type f | sort)
done < <(cd "$packed" && find . -type d | sort)
while IFS= read -r folder; do
    folder=${folder#.}
    echo "RMDir \"\$INSTDIR${folder//\//\\}\"" >>"$unfiles"
done < <(cd "$packed" && find . -mindepth 1 -type d | sort -r)
size_kb=$(find "$packed" -type f -printf '%s\n' | awk '{ s += $1 } END { printf "%d", (s + 1023) / 1024 }')
# The longest install folder whose paths all stay within MAX_PATH (260 with
# the closing NUL): each file's, the uninstaller's, the log's and the
# installer's check file's below 260, and each folder's below 248, the
# most that CreateDirectoryW takes.
longest_folder=$(
    cd "$packed" && {
        find . -mindepth 1 -type f -printf 'f %P\n'
        find . -mindepth 1 -type d -printf 'd %P\n'
        printf 'f %s\n' uninstall.exe tobrik.log tobrik-setup-check.tmp
    } | awk 'BEGIN { m = 247 }
        { n = ($1 == "f" ? 258 : 246) - length($2); if (n < m) m = n }
        END { print m }'
)
python3 "$root/ui/make_icon.py" --installer-bitmap "$staging/finish.bmp"
makensis -INPUTCHARSET UTF8 -WX -V2 "${compressor[@]}" \
    -DVERSION="$version" -DFILE_VERSION="$file_version" \
    -DFILES="$files" -DUNFILES="$unfiles" -DSIZE_KB="$size_kb" -DLONGEST_FOLDER="$longest_folder" \
    -DICON="$root/ui/tobrik.ico" -DBITMAP="$staging/finish.bmp" -DOUTFILE="$setup" \
    "$here/installer.nsi" >&2
say "installer in $(since "$start") s"

if [[ -z $folder_given ]]; then
    # The Qt source as it came from Debian, in one folder of the archive.
    # shellcheck disable=SC2046 # the names hold no spaces
    tar --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner \
        --mode=u=rw,go=r --format=gnu --transform="s|^|tobrik-$version-qt-source/|" \
        -C "$qt_source" -cf "$output/tobrik-$version-qt-source.tar" $(cd "$qt_source" && ls)
    # shellcheck disable=SC2046 # the .deb, when there
    (cd "$output" && sha256sum tobrik-"$version"-* $(compgen -G "tobrik_${version}_*.deb")) \
        >"$output/SHA256SUMS"
    cat "$output/SHA256SUMS" >&2
fi

echo "$setup"
echo "$output/$name.zip"
