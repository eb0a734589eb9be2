#!/usr/bin/env bash
# Builds the frame hand-off tests and the end-to-end window test (open, stream,
# stop, start, close, exit against the simulated SDK) with ThreadSanitizer in
# build-tsan/ and runs them. Any data race report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVIX_SANITIZE=thread -DTAVIX_BENCH=OFF
cmake --build build-tsan -j"$(nproc)" --target tst_workthread tst_simsdk tst_e2e_window link
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp ${TSAN_OPTIONS:-}"
export QT_QPA_PLATFORM=offscreen
export TAVIX_TEST_SDK="$PWD/build-tsan/liblink.so"
for t in tst_workthread tst_simsdk; do
    echo "== $t (ThreadSanitizer)"
    build-tsan/tests/$t
done
# The window test binds the camera ports on loopback: never beside another
# test that does.
echo "== tst_e2e_window (ThreadSanitizer)"
flock /tmp/tavix-ports.lock build-tsan/tests/tst_e2e_window
