#!/usr/bin/env bash
# Builds every fuzz target (fuzz/fuzz_*.cpp) as a libFuzzer binary with clang in
# build-fuzz/ (or $TAVIX_FUZZ_BUILD) and runs each for a number of seconds (default 10).
#
#   scripts/fuzz.sh [seconds] [target...]
#
# The whole program is compiled with coverage instrumentation (not only the
# fuzz target), so the fuzzer is guided by the parsers it feeds. Each target
# starts from its seeds in fuzz/corpus/<target>/ (never written to); inputs it
# finds go to <build>/corpus/<target>/, crashing inputs and logs to <build>/.
# A longer run: scripts/fuzz.sh 600 fuzz_cmdreply
#
# With TAVIX_FUZZ_RUNS=N each target instead runs exactly N inputs from a fixed
# seed, starting from its seeds alone: the same inputs on every run of the same
# build, so a gate built on it does not pass or fail by chance.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-10}"
shift || true
build="${TAVIX_FUZZ_BUILD:-build-fuzz}"

scripts/deps.sh test
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTAVIX_FUZZ=ON -DTAVIX_BENCH=OFF >/dev/null

if [ $# -gt 0 ]; then
    targets=("$@")
else
    targets=()
    for src in fuzz/fuzz_*.cpp; do
        [ -e "$src" ] || continue
        targets+=("$(basename "$src" .cpp)")
    done
fi
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets"; exit 0; }

cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

export UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1 ${UBSAN_OPTIONS:-}"
export QT_QPA_PLATFORM=offscreen
mkdir -p "$build/crashes"
# A fixed run also needs fixed addresses and Qt's hash seed: the fuzzer learns
# from compared values, and pointers and hash orders would differ between runs.
runner=()
if [ -n "${TAVIX_FUZZ_RUNS:-}" ]; then
    export QT_HASH_SEED=0
    if setarch "$(uname -m)" -R true 2>/dev/null; then
        runner=(setarch "$(uname -m)" -R)
    fi
fi
failed=()
for t in "${targets[@]}"; do
    work="$build/corpus/$t"
    limit=(-max_total_time="$seconds")
    if [ -n "${TAVIX_FUZZ_RUNS:-}" ]; then
        work="$build/corpus-fixed/$t"
        rm -rf "$work"
        limit=(-seed=1 -runs="$TAVIX_FUZZ_RUNS" -reload=0)
    fi
    mkdir -p "$work"
    seeds=()
    [ -d "fuzz/corpus/$t" ] && seeds=("fuzz/corpus/$t")
    echo "== $t: ${limit[*]}"
    status=0
    "${runner[@]}" "$build/fuzz/$t" "${limit[@]}" -print_final_stats=1 \
        -artifact_prefix="$build/crashes/$t-" "$work" "${seeds[@]}" >"$build/$t.log" 2>&1 || status=$?
    grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY|.*runtime error)' \
        "$build/$t.log" || true
    if [ "$status" -ne 0 ]; then
        echo "$t failed (status $status); log: $build/$t.log, inputs: $build/crashes/" >&2
        failed+=("$t")
    fi
done
[ ${#failed[@]} -eq 0 ] || { echo "fuzz failures: ${failed[*]}" >&2; exit 1; }
