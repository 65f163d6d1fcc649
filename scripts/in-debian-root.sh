#!/usr/bin/env bash
# Runs a command as root inside a Debian root file system (one that
# scripts/debian-root.sh made), as on a machine of that release: with /proc,
# /sys and /dev (this machine's devices), an empty /run, this machine's
# resolv.conf (apt reaches the archive) and chosen folders of this machine
# at the same paths. Inside a network namespace lab (tests/lab/in_lab.sh)
# the lab's hosts, nsswitch.conf and resolv.conf take the root's place, as
# `ip netns exec` does for this machine. All of it is mounted in a mount
# namespace of the command's own, so nothing stays mounted when the command
# ends, however it ends.
#
# Usage: scripts/in-debian-root.sh [OPTION...] ROOT -- CMD [ARG...]
#   --layer FOLDER  ROOT stays as it is: what the command changes goes into
#                   FOLDER (an overlay's upper layer, FOLDER/upper), where
#                   the next call with the same FOLDER finds it again
#   --bind FOLDER   FOLDER of this machine at the same path inside (repeatable)
# Exits with the command's status.
set -euo pipefail

usage() {
    sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
    exit 2
}

layer='' binds=()
while [[ $# -gt 0 && $1 == --* ]]; do
    case $1 in
    --layer) layer=$(realpath -m "$2") ;;
    --bind) binds+=("$(realpath "$2")") ;;
    --mounted) break ;;
    *) usage ;;
    esac
    shift 2
done

if [[ ${1:-} != --mounted ]]; then
    [[ $# -ge 3 && $2 == -- ]] || usage
    [[ -f $1/.complete || -x $1/usr/bin/apt-get ]] || {
        echo "in-debian-root: $1 is no Debian root" >&2
        exit 1
    }
    [[ $EUID == 0 ]] || { echo "in-debian-root: needs root" >&2 && exit 1; }
    # The mounts below are made in a mount namespace of this call's own.
    exec unshare --mount --propagation private -- "$0" --mounted "$(realpath "$1")" \
        "$layer" "${binds[@]}" -- "${@:3}"
fi

debian=$2 layer=$3
shift 3
target=$debian
if [[ -n $layer ]]; then
    mkdir -p "$layer/upper" "$layer/work" "$layer/root"
    mount -t overlay overlay -o "lowerdir=$debian,upperdir=$layer/upper,workdir=$layer/work" \
        "$layer/root"
    target=$layer/root
fi
mount -t proc proc "$target/proc"
mount -t sysfs sysfs "$target/sys"
mount --rbind /dev "$target/dev"
mount -t tmpfs -o mode=755 tmpfs "$target/run"
while [[ $1 != -- ]]; do
    mkdir -p "$target$1"
    mount --bind "$1" "$target$1"
    shift
done
shift
etc=(resolv.conf)
if [[ -n ${TOBRIK_LAB_NS:-} && -d /etc/netns/$TOBRIK_LAB_NS ]]; then
    etc=(hosts nsswitch.conf resolv.conf) # what ip netns exec put there
fi
for file in "${etc[@]}"; do
    # A symbolic link (to systemd-resolved's file, say) is replaced by a file.
    [[ -f $target/etc/$file && ! -L $target/etc/$file ]] ||
        { rm -f "$target/etc/$file" && touch "$target/etc/$file"; }
    mount --bind "/etc/$file" "$target/etc/$file"
done
exec chroot "$target" "$@"
