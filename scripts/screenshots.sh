#!/bin/sh
# Screenshots of the main window streaming from each simulated camera, taken on
# a virtual X server (Xvfb). Needs xvfb-run and a CJK font (fonts-wqy-microhei).
#   scripts/screenshots.sh [build folder] [output folder]
# Writes <output>/screenshot-camera<N>.png, <output>/screenshot.png (camera 0) and
# <output>/first-steps-menu.png (the camera list's context menu).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
out=${2:-$root/docs}
mkdir -p "$out"
# The default simulated set: camera 0 grey, camera 1 colour, 1280 x 1024.
for camera in 0 1; do
    xvfb-run -a -s "-screen 0 1240x860x24" \
        "$build/bench/bench_display" --sdk "$build/liblink.so" \
        --screenshot "$out/screenshot-camera$camera.png" --camera "$camera" --seconds 3 >/dev/null
    echo "$out/screenshot-camera$camera.png"
done
cp "$out/screenshot-camera0.png" "$out/screenshot.png"
xvfb-run -a -s "-screen 0 1240x860x24" \
    "$build/bench/bench_display" --sdk "$build/liblink.so" --menu-screenshot "$out/first-steps-menu.png" >/dev/null
echo "$out/first-steps-menu.png"
