#!/usr/bin/env bash
# tavixctl against simulated cameras (run from anywhere; builds nothing):
#  1. a 100 MiB file to 4 cameras at once, against one camera's pacing floor
#     (2 ms + 100 ms per 4 MiB piece + 1000 ms before the end frame; 26 pieces
#     for 100 MiB and its CRC: 3602 ms); target: total <= 1.15 x the floor;
#  2. whole `tavixctl get` and `tavixctl list` runs (start, SDK, and for get
#     one query and its report on loopback); bench_ctl (Google Benchmark) has
#     the round trip alone.
# Takes the machine-wide port lock, as the network tests do.
#
#   bench/bench_ctl.sh [build folder]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
tool="$build/tavixctl"
[ -x "$tool" ] || { echo "no $tool: build the tavixctl target first" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
head -c $((100 * 1024 * 1024)) /dev/urandom > "$work/firmware.bin"
floor_ms=3602

exec 9>/tmp/tavix-ports.lock
flock 9

TIMEFORMAT='%R %U %S'
# The simulated cameras keep what they receive on tmpfs when there is one: their
# writing of 4 x 100 MiB to a disk is no part of the tool's time.
received="$work/received"
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    received="$(mktemp -d /dev/shm/bench_ctl.XXXXXX)"
    trap 'rm -rf "$work" "$received"' EXIT
fi
export LINKSIM_COUNT=4 LINKSIM_FIRMWARE_DIR="$received"
# The summary's last line is the tool's own total; `time` adds start-up and the SDK.
{ time "$tool" firmware --camera 127.0.0.2 --camera 127.0.0.3 --camera 127.0.0.4 --camera 127.0.0.5 \
    "$work/firmware.bin" > "$work/summary.txt"; } 2> "$work/time.txt"
read -r real user sys < "$work/time.txt"
cat "$work/summary.txt"
for ip in 127.0.0.2 127.0.0.3 127.0.0.4 127.0.0.5; do
    cmp -s "$work/firmware.bin" "$received/$ip/firmware.bin" || { echo "$ip: file differs" >&2; exit 1; }
done
awk -v r="$real" -v u="$user" -v s="$sys" -v f="$floor_ms" 'BEGIN {
    printf "firmware, 100 MiB to 4 cameras: %.2f s wall (%.3f x the pacing floor of %.3f s; target 1.15), CPU %.2f s user + %.2f s sys\n",
        r, r * 1000 / f, f / 1000, u, s }'

runs=20
{ time for _ in $(seq $runs); do "$tool" get 127.0.0.2 > /dev/null; done; } 2> "$work/get.txt"
{ time for _ in $(seq $runs); do "$tool" list > /dev/null; done; } 2> "$work/list.txt"
read -r get_real get_user get_sys < "$work/get.txt"
read -r list_real _ _ < "$work/list.txt"
awk -v g="$get_real" -v l="$list_real" -v n="$runs" -v u="$get_user" -v s="$get_sys" 'BEGIN {
    printf "tavixctl get: %.1f ms per run (list: %.1f ms; difference %.1f ms), CPU %.1f ms per get run\n",
        g * 1000 / n, l * 1000 / n, (g - l) * 1000 / n, (u + s) * 1000 / n }'
