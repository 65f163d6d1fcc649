#!/bin/bash
# Makes the two Windows downloads of Tobrik from its release folder:
#   tobrik-<version>-setup-x64.exe    the installer (scripts/windows-installer.nsi):
#                                     per user, into %LOCALAPPDATA%\Programs\Tobrik
#   tobrik-<version>-windows-x64.zip  one folder to unpack where the user can write
# Both hold the same files: tobrik.exe, the DLLs, plugins and translation
# it needs, LICENSE.txt and licenses/.
#
# Usage: scripts/windows-release.sh [--folder DIR --version X.YY] [BUILD_DIR] [OUTPUT_DIR]
#   BUILD_DIR   a configured windows-cross-gui build (default <repo>/build-win-gui):
#               tobrik.exe is built, the release folder laid out in
#               BUILD_DIR/release (cmake --install) and its DLLs checked
#               (scripts/windows-release-check.sh)
#   OUTPUT_DIR  where the two go (default <repo>/build/release-artifacts)
#   --folder DIR, --version X.YY
#               pack DIR as it stands, as release X.YY, instead: nothing is
#               built or checked (the tests make an earlier release this way)
# The version is the CMake project's, from BUILD_DIR/tobrik-release.env.
# makensis and zip come from scripts/setup.sh windows.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
folder_given= version_given=
while [[ ${1:-} == --* ]]; do
    case $1 in
    --folder) folder_given=$(cd "$2" && pwd) ;;
    --version) version_given=$2 ;;
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
for tool in makensis zip python3; do
    command -v "$tool" >/dev/null || {
        say "$tool is missing; run: scripts/setup.sh windows"
        exit 1
    }
done

if [[ -n $folder_given ]]; then
    release=$folder_given
    version=$version_given
    # 1.02 -> 1.2.0.0, as Windows' version records give it
    file_version=$(awk -F. '{ printf "%d.%d.0.0", $1, $2 }' <<<"$version")
else
    cmake --build "$build" -j2 --target tobrik >&2
    # shellcheck source=/dev/null # version= and file_version=, written by CMake
    source "$build/tobrik-release.env"
    release=$(cd "$build" && pwd)/release # makensis reads the files by absolute path
    rm -rf "$release"
    cmake --install "$build" --prefix "$release" >&2
    "$root/scripts/windows-release-check.sh" "$release" >&2
fi
mkdir -p "$output"
output=$(cd "$output" && pwd)

start=$(now)
name=tobrik-$version-windows-x64
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
cp -a "$release" "$staging/$name"
rm -f "$output/$name.zip"
(cd "$staging" && zip -qrX9 "$output/$name.zip" "$name")
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
        echo "File \"$release/${file#./}\"" >>"$files"
        file=${file#.}
        echo "Delete \"\$INSTDIR${file//\//\\}\"" >>"$unfiles"
    done < <(cd "$release" && find "$folder" -maxdepth 1 -type f | sort)
done < <(cd "$release" && find . -type d | sort)
while IFS= read -r folder; do
    folder=${folder#.}
    echo "RMDir \"\$INSTDIR${folder//\//\\}\"" >>"$unfiles"
done < <(cd "$release" && find . -mindepth 1 -type d | sort -r)
size_kb=$(du -sk "$release" | cut -f1)
python3 "$root/ui/make_icon.py" --installer-bitmap "$staging/finish.bmp"
makensis -INPUTCHARSET UTF8 -WX -V2 \
    -DVERSION="$version" -DFILE_VERSION="$file_version" \
    -DFILES="$files" -DUNFILES="$unfiles" -DSIZE_KB="$size_kb" \
    -DICON="$root/ui/tobrik.ico" -DBITMAP="$staging/finish.bmp" -DOUTFILE="$setup" \
    "$root/scripts/windows-installer.nsi" >&2
say "installer in $(since "$start") s"

echo "$setup"
echo "$output/$name.zip"
