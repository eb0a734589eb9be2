#!/usr/bin/env bash
# Checks the source layout (scripts/check_layout.sh), builds Tavix, the
# simulated camera SDK, the tests and the benchmarks in build/, gives each fuzz target a short run of fixed inputs (the same on every
# run of the same build; TAVIX_FUZZ_RUNS, default 200000 each), then runs every test.
# Then it checks the install and the Debian packages (scripts/check_package.sh)
# and, when a MinGW prefix is at hand (TAVIX_MINGW_PREFIX or ../shared/mingw/),
# cross-builds Tavix for Windows and runs its tests under Wine
# (scripts/windows.sh --package).
# Exploratory fuzzing with fresh inputs is scripts/fuzz.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/check_layout.sh

scripts/deps.sh test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVIX_WERROR=ON
cmake --build build -j"$(nproc)"

if [ -x scripts/fuzz.sh ]; then
    TAVIX_FUZZ_RUNS="${TAVIX_FUZZ_RUNS:-200000}" scripts/fuzz.sh
fi

(cd build && ctest --output-on-failure -j2 --timeout 600)

scripts/check_package.sh build

if [ -n "${TAVIX_MINGW_PREFIX:-}" ] || [ -d ../shared/mingw ]; then
    scripts/windows.sh --package
else
    echo "Windows build skipped: no MinGW prefix (TAVIX_MINGW_PREFIX is unset and ../shared/mingw/ does not exist)"
fi
