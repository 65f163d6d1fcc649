#!/bin/bash
# The Debian package as a user gets it: built by scripts/build-deb.sh (twice, to the
# same bytes), checked by lintian (no error, no warning that is not overridden with its reason),
# installed with apt-get, run from /usr/bin by an unprivileged user in the
# lab, where only the capability granted at installation to its echo helper
# lets it send ICMP and a Qt plugin of that user's own gets no privilege
# from it, and purged without a trace. Needs root. With --root, a .deb so
# built is installed, swept and purged in a cached root of Debian SUITE
# (scripts/debian-root.sh), each step inside it (scripts/in-debian-root.sh),
# in a layer of this run's own (build/root-SUITE) that leaves it untouched.
#
# Usage: tests/release/deb.sh [OUTPUT_FOLDER]   (default: build/release-artifacts)
#        tests/release/deb.sh --root SUITE DEB
# TOBRIK_PROBE_PLUGIN: the style plugin to plant (default: build/test's).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
out="$(realpath -m -- "${1:-$root/build/release-artifacts}")"
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
[ "$(id -u)" = 0 ] || fail "tests/release/deb.sh needs root (apt-get, the lab)"
began=$SECONDS
# on: runs a command where the package goes; seen: where its files show here.
on=() seen=
apt() {
    local output
    output=$(DEBIAN_FRONTEND=noninteractive "${on[@]}" apt-get -o DPkg::Lock::Timeout=900 -y -qq "$@" 2>&1) ||
        fail "apt-get $*: $output"
}
installed() { "${on[@]}" dpkg-query -W -f='${Status}' tobrik 2>/dev/null | grep -q "ok installed"; }
# A failing check leaves no package behind on the machine.
trap 'kill "${again:-}" 2>/dev/null || true; installed && apt purge tobrik' EXIT

# The plugin that the user plants, a target of the test build.
plugin=${TOBRIK_PROBE_PLUGIN:-$root/build/test/tests/fault/probe-plugin/tobrik_packet_probe_style.so}
[ -f "$plugin" ] || fail "no style plugin at $plugin: cmake --build build/test --target tobrik_packet_probe_style"
if [ "${1:-}" = --root ]; then
    deb=$(realpath "$3") layer="$root/build/root-$2" seen="$root/build/root-$2/upper"
    debian=$("$root/scripts/debian-root.sh" "$2" "root-$2" | tail -n1)
    rm -rf "$layer"
    on=("$root/scripts/in-debian-root.sh" --layer "$layer" --bind "$root" --bind "${deb%/*}"
        --bind "${plugin%/*}" "$debian" --)
else
    "$root/scripts/build-deb.sh" "$out"
    deb="$out/tobrik_$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)"
    deb+="_$(dpkg-architecture -qDEB_HOST_ARCH).deb"
    # Built again while the first is checked (most of that waits on apt and
    # the lab), for the comparison at the end.
    (umask 077 && TZ=Asia/Tokyo LC_ALL=ja_JP.UTF-8 "$root/scripts/build-deb.sh" "$root/build/deb-again") \
        >/dev/null &
    again=$!
    # (Overridden tags, shown with --show-overrides, would count as failures.)
    report=$(lintian --fail-on error,warning --display-info "$deb" 2>&1) ||
        fail "lintian finds errors or warnings:"$'\n'"$report"
    grep -v "root privileges" <<<"$report" || true
fi

! installed || apt purge tobrik
apt install "$deb"
helper=/usr/libexec/tobrik/tobrik-echo
# The capability that postinst grants, as getcap shows it.
granted=$(sed -n 's/.*setcap \(cap_[a-z_]*\)+\([a-z]*\) .*/\1=\2/p' "$root/debian/postinst")
[ "$("${on[@]}" /usr/sbin/getcap "$helper")" = "$helper ${granted:-(none read from postinst)}" ] ||
    fail "not $granted on $helper: $("${on[@]}" /usr/sbin/getcap "$helper")"
[ -z "$("${on[@]}" /usr/sbin/getcap /usr/bin/tobrik)" ] ||
    fail "/usr/bin/tobrik has a capability: $("${on[@]}" /usr/sbin/getcap /usr/bin/tobrik)"
files=$("${on[@]}" dpkg -L tobrik)
# The package's own AppStream file, not every other one on the machine.
metainfo=$(grep '^/usr/share/metainfo/.*\.metainfo\.xml$' <<<"$files") ||
    fail "the package installs no AppStream file"
appstreamcli validate --no-net "$seen$metainfo" >/dev/null ||
    fail "appstreamcli: $(appstreamcli validate --no-net "$seen$metainfo")"
grep -q "<release version=\"$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)\"" \
    "$seen$metainfo" || fail "the AppStream file names not this release: $(grep '<release ' "$seen$metainfo")"

# The helper is the same file on every Debian: its limits are driven here.
[ -n "$seen" ] || "$root/tests/lab/in_lab.sh" -- "$root/tests/release/helper_limits.py" "$helper" ||
    fail "the installed echo helper, driven directly as nobody, exceeds its limits"
# Ping sockets allowed to no group: the helper's capability alone makes
# ICMP work.
"$root/tests/lab/in_lab.sh" --hostname lab-host-abcde --ping-range "1 0" -- \
    "${on[@]}" "$root/tests/fault/unprivileged.sh" installed /usr/bin/tobrik "$plugin"
if [ -z "$seen" ]; then
    wait "$again" || fail "the second build of the .deb failed"
    cmp "$deb" "$root/build/deb-again/${deb##*/}" || fail "the .deb built again is not the same"
fi

apt purge tobrik
! "${on[@]}" dpkg-query -W tobrik >/dev/null 2>&1 || fail "dpkg still knows tobrik after the purge"
while read -r file; do
    [ -d "$seen$file" ] || [ ! -e "$seen$file" ] || fail "$file is left after the purge"
done <<<"$files"
[ ! -e "$seen/usr/share/doc/tobrik" ] || fail "/usr/share/doc/tobrik is left after the purge"
[ -z "$seen" ] || { rm -rf "$layer" && echo "release deb on Debian $2: installed, swept, purged in $((SECONDS - began)) s" && exit; }
echo "release deb: built, lintian-clean, installed, swept as nobody, purged in $((SECONDS - began)) s"
