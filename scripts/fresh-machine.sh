#!/usr/bin/env bash
# Runs CI (.ci/run, CI=true) as on a fresh Debian 12 machine: in a minimal
# Debian 12 root made by debootstrap (scripts/debian-root.sh bookworm, kept
# as made) with Debian 12's three suites, its changes in a layer of this
# run's own, on a clean clone of this repository's HEAD, as root and with a
# plain login's environment. Nothing of this machine's packages, caches or
# builds is there; Qt for Windows is built anew (half an hour) unless
# --qt-cache lends this machine's /var/cache/tobrik. Run several times in a
# row with a new FOLDER each, it shows the test command passing on fresh
# machines. Needs root; writes only FOLDER (about 9 GB at its peak).
#
# Usage: scripts/fresh-machine.sh [--qt-cache] FOLDER
#   FOLDER  the run's clone (FOLDER/tobrik, the same path inside), layer
#           (FOLDER/layer) and output (FOLDER/ci.log); must not exist
# Exits with .ci/run's status; the time it took is on the last line.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
binds=()
if [[ ${1:-} == --qt-cache ]]; then
    binds=(--bind /var/cache/tobrik)
    shift
fi
[[ $# == 1 ]] || { sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2 && exit 2; }
folder=$(realpath -m "$1")
[[ ! -e $folder ]] || { echo "fresh-machine: $folder exists; give a new folder" >&2 && exit 2; }

debian=$("$here/debian-root.sh" bookworm | tail -n1)
mkdir -p "$folder/layer/upper/etc/apt/sources.list.d"
# Debian 12 as a machine of CI's has it: the release, its updates and its
# security fixes, in the one-file format apt's source index needs too.
cat >"$folder/layer/upper/etc/apt/sources.list.d/debian.sources" <<'EOF'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
mknod "$folder/layer/upper/etc/apt/sources.list" c 0 0 # (an overlay's whiteout: no such file)
# The names file that Debian's installer writes (debootstrap writes none);
# the machine's name is this one's, whose UTS namespace the root shares.
printf '127.0.0.1\tlocalhost\n127.0.1.1\t%s\n::1\tlocalhost ip6-localhost ip6-loopback\n' \
    "$(hostname)" >"$folder/layer/upper/etc/hosts"
git clone --quiet --no-local "$(git -C "$here" rev-parse --show-toplevel)" "$folder/tobrik"
echo "fresh-machine: CI of $(git -C "$folder/tobrik" log -1 --format='%h %s') in $folder"

start=$SECONDS status=0
"$here/in-debian-root.sh" --layer "$folder/layer" --bind "$folder/tobrik" "${binds[@]}" "$debian" -- \
    env -i HOME=/root LANG=C.UTF-8 TERM=dumb PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c 'cd "$1" && bash .ci/run' ci "$folder/tobrik" </dev/null 2>&1 |
    tee "$folder/ci.log" || status=$?
echo "fresh-machine: .ci/run exited with $status after $((SECONDS - start)) s" | tee -a "$folder/ci.log"
exit "$status"
