#!/bin/bash
# The measurements, run inside tests/lab/in_lab.sh (see scripts/bench.sh).
# Tobrik and its peers probe the same addresses of the same lab, one after
# the other:
#   loopback  127.0.0.1-255 (every address answers), without name look-up,
#             over the ping socket and, with the ping group range closed,
#             through the echo helper
#   names     the same with name look-up (the lab hosts file names them all)
#   silent    10.77.0.50-69 (no answer ever comes)
#   reject    10.77.1.1-5 (unreachable route) and 10.77.2.1-5 (prohibit route)
# then Tobrik's memory and descriptors across 50 sweeps and its start-up
# under Xvfb.
#
# Usage: run_lab.sh SWEEP_BENCH SPAWN_TIMER TOBRIK RAW_OUT
# Appends "case<TAB>tool<TAB>metric<TAB>value" lines to RAW_OUT.

set -euo pipefail
sweep_bench=$1 timer=$2 program=$3 raw=$4
bench=("$sweep_bench")

[ "${TOBRIK_LAB:-}" = 1 ] || {
    echo "run_lab.sh: run me through tests/lab/in_lab.sh" >&2
    exit 2
}

# A work folder removed on exit, and the X server helpers of the tests.
source "$(dirname "$0")/../tests/support/desktop.sh"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

note() { printf '%s\n' "bench: $*" >&2; }

# emit CASE TOOL METRIC: turns the "METRIC value" pairs of the "name value
# name value ..." lines on stdin into raw lines.
emit() {
    awk -v c="$1" -v t="$2" -v m="$3" '
        { for (i = 1; i < NF; i += 2) if ($i == m) printf "%s\t%s\t%s\t%s\n", c, t, m, $(i + 1) }
    ' >>"$raw"
}
record() { printf '%s\t%s\t%s\t%s\n' "$@" >>"$raw"; }

# timed CASE TOOL RUNS CHECK CMD...: CMD's start-to-exit time and peak memory
# over RUNS runs; CHECK is a command that counts the answered addresses in
# the last run's output (read from stdin).
timed() {
    local case=$1 tool=$2 runs=$3 check=$4
    shift 4
    "$timer" --runs "$runs" --output "$work/out" -- "$@" >"$work/timing"
    emit "$case" "$tool" run_ms <"$work/timing"
    emit "$case" "$tool" maxrss_kb <"$work/timing"
    record "$case" "$tool" answered "$($check <"$work/out")"
    record "$case" "$tool" addresses "$count"
}

# ping_loop CASE ADDRESS...: one iputils ping per address, each timed from
# its process start to its end.
ping_loop() {
    local case=$1 address answered=0
    shift
    for address in "$@"; do
        "$timer" -- ping -c1 -W1 "$address" >"$work/timing"
        emit "$case" ping-loop address_ms < <(sed 's/^run_ms/address_ms/' "$work/timing")
        grep -q ' exit 0$' "$work/timing" && answered=$((answered + 1))
    done
    record "$case" ping-loop answered "$answered"
    record "$case" ping-loop addresses "$#"
}

# The same, with a name look-up of every answering address (getent, as
# ping itself looks up no names for numeric targets).
ping_loop_names() {
    local case=$1 address answered=0
    shift
    for address in "$@"; do
        "$timer" -- sh -c 'ping -c1 -W1 "$1" && getent hosts "$1"' sh \
            "$address" >"$work/timing"
        emit "$case" ping-loop address_ms < <(sed 's/^run_ms/address_ms/' "$work/timing")
        grep -q ' exit 0$' "$work/timing" && answered=$((answered + 1))
    done
    record "$case" ping-loop answered "$answered"
    record "$case" ping-loop addresses "$#"
}

fping_answered() { grep -c 'xmt/rcv/%loss = 1/1/' || true; }
nmap_answered() { grep -c 'Host is up' || true; }
ping_answered() { grep -c ' 1 received' || true; }
# What nmap says about its own probes: how many raw packets it sent, and
# why it took a host to be up.
nmap_facts() {
    local case=$1
    shift
    nmap -d "$@" >"$work/nmap-facts" 2>&1 || true
    record "$case" nmap no_route "$(grep -c 'failed to determine route' "$work/nmap-facts" || true)"
    record "$case" nmap raw_sent "$(sed -n 's/.*Raw packets sent: \([0-9]*\).*/\1/p' "$work/nmap-facts")"
    record "$case" nmap reason "$(sed -n 's/.*Host is up, received \([a-z-]*\).*/\1/p' \
        "$work/nmap-facts" | sort | uniq -c | awk '{ printf "%s%s x%s", (NR > 1 ? ", " : ""), $2, $1 }')"
}

# ours CASE PREFIX FIRST LAST names|nonames REPEAT ok|ng [PAUSE_MS]
ours() {
    local case=$1
    shift
    "${bench[@]}" sweep "$@" >"$work/ours" 2>"$work/ours-errors" || {
        cat "$work/ours-errors" >&2
        exit 1
    }
    emit "$case" tobrik address_ms <"$work/ours"
    emit "$case" tobrik events_ms <"$work/ours"
    emit "$case" tobrik sweep_ms <"$work/ours"
    record "$case" tobrik echo_socket "$(awk '$1 == "echo_socket" { print $2 }' "$work/ours")"
}

loopback=()
for n in $(seq 1 255); do loopback+=("127.0.0.$n"); done
silent=()
for n in $(seq 50 69); do silent+=("10.77.0.$n"); done
reject=(10.77.1.{1..5} 10.77.2.{1..5})

# ---- 255 answering addresses ------------------------------------------------
# With the lab's ping group range closed for a while, Tobrik goes through
# its echo helper (root's, which holds CAP_NET_RAW), with a pause before each
# sweep in which its pace fills, as a user types a range, and once two
# sweeps as soon as the window opens, at its pace; every other case runs
# it as a user without the capability would: root less CAP_NET_RAW, so the
# ping socket that the lab's ping group range allows.
note "loopback: Tobrik through the echo helper"
range=$(cat /proc/sys/net/ipv4/ping_group_range)
sysctl -q -w net.ipv4.ping_group_range="1 0"
ours loopback-helper 127.0.0 1 255 nonames 10 ok 600
ours loopback-helper-again 127.0.0 1 255 nonames 2 ok
sysctl -q -w net.ipv4.ping_group_range="$range"
bench=(setpriv --bounding-set=-net_raw -- "$sweep_bench")
note "loopback: Tobrik"
ours loopback 127.0.0 1 255 nonames 10 ok
"${bench[@]}" probe 127.0.0 1 255 10 2>/dev/null | emit loopback tobrik-net probe_ms
ping -q -c 100 -i 0.01 127.0.0.2 | sed -n 's|^rtt [^=]*= [^/]*/\([^/]*\)/.*|rtt_ms \1|p' |
    emit loopback ping rtt_ms
note "loopback: peers"
count=255
timed loopback fping 3 fping_answered fping -c1 -t500 "${loopback[@]}"
timed loopback fping-r0 3 fping_answered fping -c1 -t500 -r0 "${loopback[@]}"
timed loopback nmap 5 nmap_answered nmap -sn -PE -n --send-ip 127.0.0.1-255
nmap_facts loopback -sn -PE -n --send-ip 127.0.0.1-255
ping_loop loopback "${loopback[@]}"

note "names: Tobrik"
ours names 127.0.0 1 255 names 10 ok
note "names: peers"
timed names fping 3 fping_answered fping -c1 -t500 -d "${loopback[@]}"
timed names fping-r0 3 fping_answered fping -c1 -t500 -r0 -d "${loopback[@]}"
timed names nmap 5 nmap_answered nmap -sn -PE --send-ip --system-dns 127.0.0.1-255
ping_loop_names names "${loopback[@]}"

# ---- silent addresses -------------------------------------------------------
note "silent: Tobrik (about 20 s)"
ours silent 10.77.0 50 69 nonames 2 ng
note "silent: peers (about 30 s)"
count=20
timed silent fping 3 fping_answered fping -c1 -t500 "${silent[@]}"
timed silent fping-r0 3 fping_answered fping -c1 -t500 -r0 "${silent[@]}"
timed silent nmap 3 nmap_answered nmap -sn -PE -n --send-ip 10.77.0.50-69
nmap_facts silent -sn -PE -n --send-ip 10.77.0.50-69
"${bench[@]}" probe 10.77.0 50 59 1 2>/dev/null | emit silent tobrik-net probe_ms
# fping's alive mode (no -c) is where its retries apply: 3 by default.
fping -t500 -s "${silent[@]}" >"$work/fping-alive" 2>&1 || true
record silent fping-alive echos "$(sed -n 's/^ *\([0-9]*\) ICMP Echos sent.*/\1/p' "$work/fping-alive")"
record silent fping-alive elapsed_s "$(sed -n 's/^ *\([0-9.]*\) sec (elapsed real time).*/\1/p' "$work/fping-alive")"
ping_loop silent "${silent[@]}"

# ---- rejecting routes -------------------------------------------------------
note "reject: Tobrik and peers"
ours reject 10.77.1 1 5 nonames 10 ng
ours reject 10.77.2 1 5 nonames 10 ng
count=10
timed reject fping 5 fping_answered fping -c1 -t500 "${reject[@]}"
timed reject fping-r0 5 fping_answered fping -c1 -t500 -r0 "${reject[@]}"
timed reject nmap 5 nmap_answered nmap -sn -PE -n --send-ip 10.77.1.1-5 10.77.2.1-5
nmap_facts reject -sn -PE -n --send-ip 10.77.1.1-5 10.77.2.1-5
for _ in 1 2 3; do ping_loop reject "${reject[@]}"; done

# ---- memory and descriptors -------------------------------------------------
note "resources: 50 sweeps of 255 addresses"
"${bench[@]}" resources 50 2>/dev/null |
    awk '$1 == "after" { printf "resources\ttobrik\tafter_%s\t%s %s %s\n", $2, $4, $6, $8 }' >>"$raw"

# ---- start-up ---------------------------------------------------------------
# The program in a folder of its own (its log and instance lock live there),
# on an X server and window manager of this namespace's own.
note "start-up: Tobrik under Xvfb, 1 + 10 runs"
install_program "$program"
start_desktop
# The loopback sweep once more with the window on this X server: the label
# repaints then reach an X server, as for a user.
note "loopback: Tobrik's window on Xvfb"
QT_QPA_PLATFORM=xcb ours loopback-x11 127.0.0 1 255 nonames 10 ok
# The first run warms the caches (fonts, shared libraries) and is left out.
TMPDIR="$work/app" "$timer" --until-mapped --title Tobrik --runs 11 -- "$program" |
    tail -n +2 | emit startup tobrik mapped_ms
count=1
timed startup fping 10 fping_answered fping -c1 -t500 127.0.0.1
timed startup nmap 10 nmap_answered nmap -sn -PE -n --send-ip 127.0.0.1
timed startup ping-loop 10 ping_answered ping -c1 -W1 127.0.0.1
note "done"
