#!/usr/bin/env bash
# Whole-process processor time of Tavix with the simulated SDK under Xvfb.
#
# 1. 512 x 512 grey, 25 frames/s: the default polling acquisition loop against
#    --wait-for-frames, with camera 0 open and streaming (tavix --open 0, read
#    from /proc/PID/stat) and after the camera was opened and then closed
#    through the camera list's actions (bench_display --process-cpu).
# 2. Large sensors, --wait-for-frames, 30 frames/s, the picture label at the
#    window's default size (640 x 724): % of one core and the resident memory
#    (VmRSS at the end, VmHWM its peak). Given a second build folder (the tree
#    before a change), each size runs both builds in turn, so "before" and
#    "after" share the machine's load.
#
# 3. The statistics window (状态) hidden and shown at 1280 x 1024, grey and
#    colour, as part 2 otherwise: the toolbar button is clicked with xdotool.
#
#   bench/bench_cpu.sh [build folder] [seconds, default 20] [build folder to compare]
#   BENCH_CPU_PARTS=large bench/bench_cpu.sh ...   only part 2 (small: part 1, status: part 3)
#   BENCH_CPU_ROUNDS=3 ...   part 3 three times over, with the medians
# Binds the camera ports: run it alone (flock /tmp/tavix-ports.lock ...).
#
# Part 2 on the shared 2-core machine, 20 s per run, load average about 1;
# before: Qt's smooth scaling of the whole frame in RGB32, a second copy of
# each converted frame, Qt's OpenGL integration loaded; after: the frame
# reduced on its own channels (camera/displayscale, the same pixels), sent
# as converted, no OpenGL integration. % of one core, resident memory:
#   frame                before           after
#   1280 x 1024 grey     15.3 %  115 MB    5.1 %   55 MB
#   1280 x 1024 colour   16.7 %  135 MB   12.0 %   75 MB
#   2048 x 2048 grey     34.6 %  156 MB   10.5 %   73 MB
#   2448 x 2048 colour   46.5 %  232 MB   32.2 %  165 MB
# (README, "Processor time and memory: large sensors", has the spread under load.)
# Then, the simulated camera without a copy of its picture per frame and the
# statistics window's figures in one pass (same run for both builds, load
# average 0.3-1.6): 1280 x 1024 grey 6.25 -> 5.60 %, colour 13.39 -> 12.05 %,
# 2048 x 2048 grey 12.14 -> 11.10 %, 2448 x 2048 colour 38.9 -> 34.9 %; part 3,
# statistics hidden / shown: grey 6.05 / 9.10 % -> 5.80 / 7.15 %, colour
# 11.50 / 16.95 % -> 11.60 / 14.70 %.
# Then, colour rows reduced with their channels side by side, AVX2, and the
# statistics' cheaper figures paced to 2/3 % of a core (one run, load average
# 0.3-0.8, part 3 with BENCH_CPU_ROUNDS=3): 1280 x 1024 grey 5.85 -> 5.40 %,
# colour 12.69 -> 9.55 %, 2048 x 2048 grey 11.34 -> 10.35 %, 2448 x 2048
# colour 36.4 -> 26.3 % (135 MB); part 3: grey 5.90 / 7.75 % -> 5.45 / 6.90 %
# (+1.60), colour 12.44 / 16.29 % -> 8.95 / 10.39 % (+1.31).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
seconds=${2:-20}
base=${3:-}
parts=${BENCH_CPU_PARTS:-small,large,status}
rounds=${BENCH_CPU_ROUNDS:-1}
warmup=5
# Where the toolbar's 状态 is in the Fusion style with the CJK font of
# scripts/deps.sh (as scripts/view_screenshots.sh clicks it), and the title of
# the statistics window it opens.
export BENCH_CPU_CLICK="" BENCH_CPU_SHOWS=状态
ticks=$(getconf CLK_TCK)

# tavix --open 0 [options] of build folder $1: "percent-of-one-core rss-kB hwm-kB"
# over $seconds after $warmup, with the LINKSIM_* settings of the environment.
tavix_run() {
    local folder=$1
    shift
    xvfb-run -a -s "-screen 0 1280x900x24" bash -c '
        # utime + stime in clock ticks (fields 14 and 15; the command name in
        # field 2 may hold blanks, so count after its closing parenthesis).
        cpu_ticks() { sed "s/.*) //" "/proc/$1/stat" | awk "{ print \$12 + \$13 }"; }
        memory_kb() { awk -v key="$2:" "\$1 == key { print \$2 }" "/proc/$1/status"; }
        "$0/tavix" --open 0 "${@:3}" >/dev/null 2>&1 &
        app=$!
        shown=-
        if [ -n "$BENCH_CPU_CLICK" ]; then
            # A toolbar button clicked as an operator would, then checked
            # that the window it opens is up.
            sleep 3
            xdotool mousemove $BENCH_CPU_CLICK sleep 0.2 click 1
            sleep 1
            if xdotool search --onlyvisible --name "^$BENCH_CPU_SHOWS\$" >/dev/null; then shown=1; else shown=0; fi
            sleep $(($1 - 4))
        else
            sleep "$1"
        fi
        t0=$(cpu_ticks $app)
        s0=$(date +%s.%N)
        sleep "$2"
        t1=$(cpu_ticks $app)
        s1=$(date +%s.%N)
        rss=$(memory_kb $app VmRSS)
        hwm=$(memory_kb $app VmHWM)
        kill $app; wait $app 2>/dev/null || true
        echo "$t0 $t1 $s0 $s1 $rss $hwm $shown"
    ' "$folder" "$warmup" "$seconds" "$@" |
        awk -v hz="$ticks" '{
            if ($7 == "0") { print "the clicked window did not open" > "/dev/stderr"; exit 1 }
            printf "%.2f %d %d", 100 * ($2 - $1) / hz / ($4 - $3), $5, $6 }'
}

tavix_streaming() { tavix_run "$build" "$@" | cut -d" " -f1; }

closed_run() {
    xvfb-run -a -s "-screen 0 1280x900x24" \
        "$build/bench/bench_display" --sdk "$build/liblink.so" --process-cpu "$seconds" "$@" 2>/dev/null
}

if [[ $parts == *small* ]]; then
    export LINKSIM_COUNT=1 LINKSIM_WIDTH=512 LINKSIM_HEIGHT=512 LINKSIM_FORMAT=mono LINKSIM_FPS=25
    echo "Tavix, camera 0 at 512 x 512 grey, 25 frames/s; % of one core over $seconds s (load average $(cut -d" " -f1-3 /proc/loadavg))"
    echo "polling loop (default):   streaming $(tavix_streaming) %"
    echo "--wait-for-frames:        streaming $(tavix_streaming --wait-for-frames) %"
    echo "polling loop, bench_display:      $(closed_run)"
    echo "--wait-for-frames, bench_display: $(closed_run --wait-for-frames)"
fi

# One size: WIDTH HEIGHT FORMAT (mono or color).
large_row() {
    export LINKSIM_COUNT=1 LINKSIM_WIDTH=$1 LINKSIM_HEIGHT=$2 LINKSIM_FORMAT=$3 LINKSIM_FPS=30
    local label after before=""
    label=$(printf "%4d x %4d %-6s" "$1" "$2" "$([ "$3" = mono ] && echo grey || echo colour)")
    if [ -n "$base" ]; then
        read -r cpu rss hwm <<<"$(tavix_run "$base" --wait-for-frames)"
        before=$(printf "%6.2f %%  %4d MB (peak %4d MB)   " "$cpu" $((rss / 1024)) $((hwm / 1024)))
    fi
    read -r cpu rss hwm <<<"$(tavix_run "$build" --wait-for-frames)"
    after=$(printf "%6.2f %%  %4d MB (peak %4d MB)" "$cpu" $((rss / 1024)) $((hwm / 1024)))
    echo "$label  $before$after"
}

if [[ $parts == *large* ]]; then
    echo "Tavix --wait-for-frames, camera 0 at 30 frames/s; % of one core over $seconds s, resident memory (load average $(cut -d" " -f1-3 /proc/loadavg))"
    if [ -n "$base" ]; then
        echo "frame                 before ($base)                  after ($build)"
    fi
    large_row 1280 1024 mono
    large_row 1280 1024 color
    large_row 2048 2048 mono
    large_row 2448 2048 color
fi

# 3. The statistics window: 1280 x 1024 at 30 frames/s, --wait-for-frames,
#    with the window hidden and then shown (状态 clicked in the toolbar),
#    each build in turn for each row, BENCH_CPU_ROUNDS times (default 1):
#    the medians of the rounds, and the median of each round's difference.
median() { printf "%s\n" "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

status_row() {
    export LINKSIM_COUNT=1 LINKSIM_WIDTH=1280 LINKSIM_HEIGHT=1024 LINKSIM_FORMAT=$1 LINKSIM_FPS=30
    local name row="" folder round hidden shown
    local -A hiddens shows differences
    name=$([ "$1" = mono ] && echo grey || echo colour)
    for ((round = 0; round < rounds; round++)); do
        for folder in $base "$build"; do
            BENCH_CPU_CLICK=""
            read -r hidden _ _ <<<"$(tavix_run "$folder" --wait-for-frames)"
            BENCH_CPU_CLICK="211 40"
            read -r shown _ _ <<<"$(tavix_run "$folder" --wait-for-frames)"
            hiddens[$folder]+=" $hidden"
            shows[$folder]+=" $shown"
            differences[$folder]+=" $(echo "$shown - $hidden" | bc)"
        done
    done
    for folder in $base "$build"; do
        # shellcheck disable=SC2086 # the lists are words
        row+=$(printf "  %6.2f %%  %6.2f %%  %+5.2f" "$(median ${hiddens[$folder]})" \
            "$(median ${shows[$folder]})" "$(median ${differences[$folder]})")
        if [ "$rounds" -gt 1 ]; then
            echo "  $name, $folder: hidden${hiddens[$folder]}; shown${shows[$folder]}" >&2
        fi
    done
    printf "1280 x 1024 %-6s%s\n" "$name" "$row"
}

if [[ $parts == *status* ]]; then
    echo "Tavix --wait-for-frames, camera 0 at 1280 x 1024, 30 frames/s; % of one core over $seconds s, statistics hidden / shown / difference (load average $(cut -d" " -f1-3 /proc/loadavg))"
    if [ -n "$base" ]; then
        echo "frame                 before ($base)          after ($build)"
    fi
    status_row mono
    status_row color
fi
