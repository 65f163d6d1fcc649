#!/usr/bin/env bash
# Measures Tobrik's sweep, memory and start-up beside fping, nmap and a loop
# of iputils ping, all on the same network-namespace lab in one run, and
# writes bench/results/results.md (the table, printed at the end) and
# bench/results/per-address.png. Needs root (the lab); takes a few minutes.
#
# Usage: scripts/bench.sh [--build DIR] [--max-load LOAD]
#   --build DIR      build directory (default build/bench)
#   --max-load LOAD  wait (up to 15 minutes) until the 1-minute load average
#                    is below LOAD before measuring; the load is recorded
#                    in the results either way
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/bench"
max_load=
while (($#)); do
    case "$1" in
    --build)
        build=$(realpath -m "$2")
        shift 2
        ;;
    --max-load)
        max_load=$2
        shift 2
        ;;
    *)
        sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
        exit 2
        ;;
    esac
done
results="$root/bench/results"

"$root/scripts/setup.sh" base test lab bench

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DTOBRIK_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target tobrik tobrik_sweep_bench tobrik_spawn_timer

load1() { cut -d' ' -f1 /proc/loadavg; }
if [[ -n "$max_load" ]]; then
    deadline=$((SECONDS + 900))
    while awk -v l="$(load1)" -v m="$max_load" 'BEGIN { exit !(l >= m) }'; do
        if ((SECONDS >= deadline)); then
            echo "bench: load average still $(load1) after 15 minutes; measuring anyway" >&2
            break
        fi
        echo "bench: load average $(load1), waiting until it is below $max_load" >&2
        sleep 30
    done
fi

raw="$build/raw.tsv"
: >"$raw"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
started=$(date -u '+%Y-%m-%d %H:%M UTC')
# The lab host name makes the program's start-up look-ups local to the lab;
# the ping group range is the one Debian desktops set, so Tobrik uses an
# unprivileged ICMP socket as it would for an ordinary user.
"$root/tests/lab/in_lab.sh" --hostname lo-2 --ping-range "0 2147483647" -- \
    "$root/bench/run_lab.sh" "$build/bench/tobrik_sweep_bench" \
    "$build/bench/tobrik_spawn_timer" "$build/app/tobrik" "$raw"
# A second lab: a name server that never answers, a host name missing
# from the hosts file.
"$root/tests/lab/in_lab.sh" --hostname tobrik-lost --nsswitch "hosts: files dns" \
    --uplink 10.78.0.5/24 --default-route up0 --ping-range "0 2147483647" -- \
    "$root/bench/time_dead_name_server.sh" "$build/bench/tobrik_spawn_timer" "$build/app/tobrik" "$raw"
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

machine="$build/machine.txt"
{
    echo "date: $started"
    echo "CPU: $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1), nproc $(nproc)"
    echo "memory: $(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)"
    echo "kernel: $(uname -sr)"
    echo "system: $(. /etc/os-release && echo "$PRETTY_NAME")"
    echo "Qt: $(qtpaths6 --qt-version) (offscreen platform for the sweeps, xcb on Xvfb for start-up)"
    echo "compiler: $(c++ --version | head -1), Release build"
    echo "peers: $(fping -v 2>&1 | head -1), $(nmap --version | head -1), $(ping -V | head -1)"
    echo "load average (1, 5, 15 min) at the start: $load_before"
    echo "load average (1, 5, 15 min) at the end: $load_after (the benchmark's own work included)"
} >"$machine"

mkdir -p "$results"
python3 "$root/bench/report.py" "$raw" "$machine" "$results"
gnuplot -e "data='$results/per-address.dat'; out='$results/per-address.png'" "$root/bench/chart.gp"
echo
echo "bench: wrote $results/results.md and $results/per-address.png (raw figures: $raw)"
