#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/packages/<group>.txt for
# each group named on the command line. Idempotent: packages already
# installed are left alone, and apt-get runs only when something is missing.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

missing=()
for group in "$@"; do
    list="$here/packages/$group.txt"
    [[ -f "$list" ]] || { echo "setup: no package list $list" >&2; exit 1; }
    while read -r package; do
        [[ -z "$package" || "$package" == \#* ]] && continue
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
            missing+=("$package")
        fi
    done <"$list"
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

sudo=""
if ((EUID != 0)); then
    if ! command -v sudo >/dev/null 2>&1; then
        # A Debian installed with a root password has no sudo.
        echo "setup: missing Debian packages: ${missing[*]}" >&2
        echo "setup: sudo is not installed; install them as root, then run this again:" >&2
        echo "    su - -c 'apt-get update && apt-get install --no-install-recommends ${missing[*]}'" >&2
        exit 1
    fi
    sudo="sudo"
fi
echo "setup: installing ${missing[*]}"
$sudo apt-get -o DPkg::Lock::Timeout=900 update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}"
