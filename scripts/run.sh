#!/usr/bin/env bash
# Builds Tavix with its simulated camera SDK and starts it with two simulated
# cameras. Without a display it runs under Xvfb and saves a screenshot.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh run
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target tavix link

if [ -n "${DISPLAY:-}" ]; then
    exec build/tavix "$@"
fi

shot="$PWD/build/screenshot.png"
echo "No display: running Tavix under Xvfb; a screenshot goes to $shot"
xvfb-run -a -s "-screen 0 1280x900x24" bash -c '
    build/tavix "$@" &
    app=$!
    sleep "${TAVIX_SCREENSHOT_DELAY:-5}"
    import -window root "'"$shot"'" && echo "Screenshot saved: '"$shot"'"
    wait $app
' bash "$@"
