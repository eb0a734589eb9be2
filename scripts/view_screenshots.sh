#!/usr/bin/env bash
# Screenshots of the picture views and the instruments for the manual and the
# README, taken from the real program with the simulated cameras:
#   docs/zoom.png        zoomed to 8x at the frame counter, the pixel readout below
#   docs/fit.png         the frame fitted, proportions kept
#   docs/saturation.png  the saturation marks (255 red, 0 blue)
#   docs/watermark.png   the watermark: camera, time, frame number, crosshair
#   docs/fullscreen.png  the picture alone, full screen (half size)
#   docs/statistics.png  the colour camera zoomed, with the statistics beside it
# Runs on $DISPLAY when it is set (a virtual X server without a window manager,
# 1280 x 1024), else under xvfb-run. Needs ImageMagick's import and convert,
# xdotool and the CJK font of scripts/deps.sh; the menus and buttons are clicked
# where they are in the Fusion style with that font.
#   scripts/view_screenshots.sh [build folder] [output folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=${2:-$root/docs}
mkdir -p "$out"
out=$(cd "$out" && pwd)
for tool in import convert xdotool; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (Debian: imagemagick, xdotool)" >&2; exit 1; }
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Runs on the X server: $1 tavix, $2 output folder.
cat >"$scratch/drive.sh" <<'DRIVE'
set -euo pipefail
tavix=$1 out=$2
click() { xdotool mousemove "$1" "$2" sleep 0.2 mousemove "$(($1 + 2))" "$2" click 1; sleep 0.8; }
window() { import -window root "$out/$1-full.png"; convert "$out/$1-full.png" -crop "$2" +repage "$out/$1.png"; rm -f "$out/$1-full.png"; }
view_menu() { click 62 10; }

"$tavix" --open 0 --wait-for-frames >/dev/null 2>&1 &
app=$!
trap 'kill $app 2>/dev/null || true' EXIT
sleep 5
# Three wheel steps in at the corner of the frame counter's first digit.
xdotool mousemove 280 130
for _ in 1 2 3; do xdotool click 4; sleep 0.3; done
xdotool mousemove 282 132
sleep 0.8
window zoom 1226x826+0+0
xdotool key ctrl+0
sleep 0.3
view_menu; click 137 161
window fit 1226x826+0+0
xdotool key ctrl+0
view_menu; click 99 263
window saturation 1226x826+0+0
view_menu; click 99 263
click 244 40 # 水印信息
window watermark 1226x826+0+0
click 170 40 # 全屏
sleep 1
import -window root "$out/fullscreen-full.png"
convert "$out/fullscreen-full.png" -resize 50% "$out/fullscreen.png"
rm -f "$out/fullscreen-full.png"
xdotool key Escape
kill $app
wait $app 2>/dev/null || true

"$tavix" --open 1 --wait-for-frames >/dev/null 2>&1 &
app=$!
sleep 5
xdotool mousemove 540 420
for _ in 1 2; do xdotool click 4; sleep 0.3; done
click 211 40 # 状态
sleep 1.5
window statistics 1280x826+0+0
DRIVE

if [ -n "${DISPLAY:-}" ]; then
    bash "$scratch/drive.sh" "$build/tavix" "$out"
else
    command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (Debian: xvfb)" >&2; exit 1; }
    xvfb-run -a -s "-screen 0 1280x1024x24" bash "$scratch/drive.sh" "$build/tavix" "$out"
fi
echo "Screenshots in $out: zoom fit saturation watermark fullscreen statistics"
