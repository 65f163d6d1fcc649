#!/usr/bin/env bash
# Makes sure the program may send ICMP echo requests without running as
# root. Linux allows it in one of two ways:
#  - "ping sockets": the user's group lies in net.ipv4.ping_group_range
#    (many distributions allow every group; Debian's kernel default does not);
#  - the capability CAP_NET_RAW, permitted (+p), on the echo helper
#    tobrik-echo, which raises it to open the raw socket and serves the
#    program's requests; the program itself never holds the capability.
#    An older grant (+ep) is as good.
# When neither holds, this grants the capability to the helper (asking for
# sudo), after saying so; without sudo it says what to run as root. The
# program never needs to run as root.
#
# Usage: icmp-permission.sh HELPER
set -euo pipefail
program="$(realpath "$1")" # su - starts in root's home

in_ping_range() {
    read -r low high </proc/sys/net/ipv4/ping_group_range
    for gid in $(id -G); do
        if ((gid >= low && gid <= high)); then
            return 0
        fi
    done
    return 1
}

if ((EUID == 0)) || in_ping_range; then
    exit 0
fi
# getcap lies in /usr/sbin, which a user's PATH on Debian leaves out.
getcap=$(PATH="$PATH:/usr/sbin:/sbin" command -v getcap || true)
if [ -n "$getcap" ] && "$getcap" "$program" 2>/dev/null | grep -q cap_net_raw; then
    exit 0
fi
echo "tobrik: sending ICMP echo requests needs either your group in net.ipv4.ping_group_range"
echo "        or the capability CAP_NET_RAW on its echo helper."
if ! command -v sudo >/dev/null 2>&1; then
    echo "        sudo is not installed; to grant the capability, run as root:"
    echo "        su - -c \"setcap cap_net_raw+p $(printf %q "$program")\""
    echo "tobrik: until then every address will read --> NG." >&2
    exit 0
fi
echo "        Granting the capability to $program (sudo setcap cap_net_raw+p)."
sudo setcap cap_net_raw+p "$program" ||
    echo "tobrik: could not grant it; every address will read --> NG until one of the two is set." >&2
