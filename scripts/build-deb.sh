#!/usr/bin/env bash
# Builds the Debian package tobrik_<version>_<arch>.deb (a native package:
# the version is debian/changelog's, which the program shows too) with
# dpkg-buildpackage and copies it into an output folder. A plain
# `dpkg-buildpackage -us -uc` in the source folder builds it as well, but
# writes beside that folder and also makes the source package.
# Installs what it needs (scripts/packages/base.txt and release.txt) first.
#
# Usage: scripts/build-deb.sh [OUTPUT_FOLDER]   (default: build/release-artifacts)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$(realpath -m "${1:-$root/build/release-artifacts}")"
work="$root/build/deb"

"$root/scripts/setup.sh" base release

# dpkg-buildpackage writes beside the source folder, so it builds a copy of
# the tree without the builds, the repository and earlier artefacts.
rm -rf "$work"
mkdir -p "$work/tobrik" "$out"
tar -C "$root" --exclude=./.git --exclude='./build*' --exclude='./tobrik-*' -cf - . |
    tar -C "$work/tobrik" -xf -
if ! (cd "$work/tobrik" && DEB_BUILD_OPTIONS=noddebs dpkg-buildpackage -b -us -uc) \
    >"$work/build.log" 2>&1; then
    tail -n 40 "$work/build.log" >&2
    echo "deb: dpkg-buildpackage failed; the whole output is in $work/build.log" >&2
    exit 1
fi

version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
deb="tobrik_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb"
# Copied whole or not at all: the Windows downloads' checksums, made
# meanwhile, may take it in.
cp "$work/$deb" "$out/.$deb.part"
mv "$out/.$deb.part" "$out/$deb"
echo "deb: $out/$deb"
