#!/usr/bin/env bash
# Whole-process processor time of Tavix with the simulated SDK at 512 x 512 grey,
# 25 frames/s, under Xvfb: the default polling acquisition loop against
# --wait-for-frames, with camera 0 open and streaming (tavix --open 0, read from
# /proc/PID/stat) and after the camera was opened and then closed through the
# camera list's actions (bench_display --process-cpu).
#   bench/bench_cpu.sh [build folder] [seconds, default 20]
# Binds the camera ports: run it alone (flock /tmp/tavix-ports.lock ...).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
seconds=${2:-20}
warmup=5
export LINKSIM_COUNT=1 LINKSIM_WIDTH=512 LINKSIM_HEIGHT=512 LINKSIM_FORMAT=mono LINKSIM_FPS=25
ticks=$(getconf CLK_TCK)

# tavix --open 0 [options]: percent of one core over $seconds after $warmup.
tavix_streaming() {
    xvfb-run -a -s "-screen 0 1280x900x24" bash -c '
        # utime + stime in clock ticks (fields 14 and 15; the command name in
        # field 2 may hold blanks, so count after its closing parenthesis).
        cpu_ticks() { sed "s/.*) //" "/proc/$1/stat" | awk "{ print \$12 + \$13 }"; }
        "$0/tavix" --open 0 "${@:3}" >/dev/null 2>&1 &
        app=$!
        sleep "$1"
        t0=$(cpu_ticks $app)
        s0=$(date +%s.%N)
        sleep "$2"
        t1=$(cpu_ticks $app)
        s1=$(date +%s.%N)
        kill $app; wait $app 2>/dev/null || true
        echo "$t0 $t1 $s0 $s1"
    ' "$build" "$warmup" "$seconds" "$@" |
        awk -v hz="$ticks" '{ printf "%.2f", 100 * ($2 - $1) / hz / ($4 - $3) }'
}

closed_run() {
    xvfb-run -a -s "-screen 0 1280x900x24" \
        "$build/bench/bench_display" --sdk "$build/liblink.so" --process-cpu "$seconds" "$@" 2>/dev/null
}

echo "Tavix, camera 0 at 512 x 512 grey, 25 frames/s; % of one core over $seconds s (load average $(cut -d" " -f1-3 /proc/loadavg))"
echo "polling loop (default):   streaming $(tavix_streaming) %"
echo "--wait-for-frames:        streaming $(tavix_streaming --wait-for-frames) %"
echo "polling loop, bench_display:      $(closed_run)"
echo "--wait-for-frames, bench_display: $(closed_run --wait-for-frames)"
