#!/usr/bin/env bash
# Soak run: Tavix's window, offscreen, against both simulated cameras at 30
# frames/s for a number of minutes (default 30), through bench/soak_driver.cpp:
# camera switches, a parameter write a second, a snapshot every 30 s and a
# 20 MB firmware download after the first minute and every 5 minutes. One line
# per minute (memory, descriptors, threads, frame rate); exits non-zero with
# the reason when something leaks, slows down, goes unanswered or fails.
#
#   scripts/soak.sh [minutes] [--asan]
#
# --asan builds in build-asan/ with AddressSanitizer and UndefinedBehaviorSanitizer;
# the leak check at exit reports what was never freed (and fails the run);
# resident memory is shown each minute but not judged (ASan keeps freed blocks).
# Otherwise it builds in build/ (or $TAVIX_BUILD). Extra driver options go in
# $TAVIX_SOAK_ARGS (e.g. "--warmup 1"). Not part of the test command.
#
# The simulated cameras and the window use addresses and ports of the soak's
# own (127.0.200.2 and .3, UDP 20956, TCP 20766), so the run goes on beside the
# tests and beside an open Tavix.
set -euo pipefail
cd "$(dirname "$0")/.."

minutes=30
asan=0
for arg in "$@"; do
    case "$arg" in
        --asan) asan=1 ;;
        ''|*[!0-9]*) echo "usage: scripts/soak.sh [minutes] [--asan]" >&2; exit 2 ;;
        *) minutes="$arg" ;;
    esac
done

if [ "$asan" -eq 1 ]; then
    scripts/deps.sh test
    build=build-asan
    # clang: GCC's undefined-behaviour checks turn the parameter catalogue's
    # constant lookups into non-constant expressions.
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTAVIX_SANITIZE=address,undefined >/dev/null
    export ASAN_OPTIONS="detect_leaks=1 ${ASAN_OPTIONS:-}"
    # Qt's offscreen plugin keeps its screen to the end; every other leak fails the run.
    export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp ${LSAN_OPTIONS:-}"
    export UBSAN_OPTIONS="print_stacktrace=1 ${UBSAN_OPTIONS:-}"
else
    scripts/deps.sh build
    build="${TAVIX_BUILD:-build}"
    [ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
nice cmake --build "$build" -j"$(nproc)" --target soak_driver link

export QT_QPA_PLATFORM=offscreen
# Two runs side by side (say a plain and an --asan one) each need their own:
# set SOAK_BASE_IP, SOAK_COMMAND_PORT and SOAK_FIRMWARE_PORT for the second.
export LINKSIM_BASE_IP="${SOAK_BASE_IP:-127.0.200.2}"
export TAVIX_COMMAND_PORT="${SOAK_COMMAND_PORT:-20956}" LINKSIM_COMMAND_PORT="${SOAK_COMMAND_PORT:-20956}"
export TAVIX_FIRMWARE_PORT="${SOAK_FIRMWARE_PORT:-20766}" LINKSIM_FIRMWARE_PORT="${SOAK_FIRMWARE_PORT:-20766}"
# shellcheck disable=SC2086
exec nice "$build/bench/soak_driver" --minutes "$minutes" \
    --sdk "$PWD/$build/liblink.so" ${TAVIX_SOAK_ARGS:-}
