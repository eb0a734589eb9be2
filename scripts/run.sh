#!/usr/bin/env bash
# Builds Tavix with its simulated camera SDK and starts it with two simulated
# cameras. Without a display it runs under Xvfb, opens camera 0 (--open 0) and
# saves a screenshot of the live picture. Tavix runs until you stop it: close its
# window, or press Ctrl+C here.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh run
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target tavix link

if [ -n "${DISPLAY:-}" ]; then
    echo "Starting Tavix; close its window or press Ctrl+C here to stop it."
    exec build/tavix "$@"
fi

shot="$PWD/build/screenshot.png"
echo "No display: running Tavix under Xvfb with camera 0 open; a screenshot goes to $shot"
echo "Tavix keeps running until you press Ctrl+C."
xvfb-run -a -s "-screen 0 1280x900x24" bash -c '
    build/tavix --open 0 "$@" &
    app=$!
    # A job started with & ignores Ctrl+C in a script: hand it on.
    trap "kill \$app 2>/dev/null" INT TERM
    sleep "${TAVIX_SCREENSHOT_DELAY:-5}"
    import -window root "'"$shot"'" && echo "Screenshot saved: '"$shot"'"
    wait $app
' bash "$@"
