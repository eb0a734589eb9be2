#!/usr/bin/env bash
# Builds Tavix, the simulated camera SDK, the tests and the benchmarks in
# build/, gives each fuzz target a short run, then runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVIX_WERROR=ON
cmake --build build -j"$(nproc)"

if [ -x scripts/fuzz.sh ]; then
    scripts/fuzz.sh "${TAVIX_FUZZ_SECONDS:-10}"
fi

cd build
ctest --output-on-failure -j2 --timeout 600
