#!/usr/bin/env bash
# Screenshots for the user manual (docs/manual.md), taken on a virtual X server
# from the real program with the simulated cameras, camera 0 open:
#   docs/window-en.png, docs/window-zh.png  the window in English and in Chinese
#   docs/context-menu-en.png               the camera list's context menu
#   docs/menu-language-en.png              the Help menu with its Language entry open
#   docs/about-en.png                      the about box
#   docs/firmware-en.png                   the firmware download dialog
# Needs xvfb-run, ImageMagick's import and convert, xdotool and the CJK font of
# scripts/deps.sh. The menus are opened by clicking where they are on a
# 1240 x 860 screen in the Fusion style with that font; other fonts move them.
#   scripts/manual_screenshots.sh [build folder] [output folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=${2:-$root/docs}
mkdir -p "$out"
out=$(cd "$out" && pwd)
for tool in xvfb-run import convert xdotool; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (Debian: xvfb, imagemagick, xdotool)" >&2; exit 1; }
done
mkdir -p "$out"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Runs inside Xvfb: $1 language, $2 tavix, $3 output folder.
cat >"$scratch/drive.sh" <<'DRIVE'
set -euo pipefail
lang=$1 tavix=$2 out=$3
"$tavix" --lang "$lang" --open 0 >/dev/null 2>&1 &
app=$!
trap 'kill $app 2>/dev/null || true' EXIT
sleep 5
import -window root "$out/window-$lang.png"
[ "$lang" = en ] || exit 0
click() { xdotool mousemove "$1" "$2" sleep 0.2 mousemove "$(($1 + 2))" "$2" click 1; sleep 0.8; }
# The camera list's context menu, on camera 0.
xdotool mousemove 80 116 click 3
sleep 0.8
import -window root "$out/context-menu-full.png"
convert "$out/context-menu-full.png" -crop 420x330+0+60 +repage "$out/context-menu-en.png"
rm -f "$out/context-menu-full.png"
xdotool key Escape
sleep 0.5
# Help, then its Language entry.
click 218 10
click 268 34
import -window root "$out/menu-language-full.png"
convert "$out/menu-language-full.png" -crop 500x120+0+0 +repage "$out/menu-language-en.png"
rm -f "$out/menu-language-full.png"
xdotool key Escape Escape
sleep 0.5
# Help, About: a box of its own.
click 218 10
click 250 59
box=$(xdotool search --name 'About Tavix' | head -n 1)
import -window "$box" "$out/about-en.png"
xdotool key Return
sleep 0.5
# Tools, Firmware upgrade tool: the dialog.
click 173 10
click 230 34
dialog=$(xdotool search --name '^Dialog$' | head -n 1)
import -window "$dialog" "$out/firmware-en.png"
DRIVE

for lang in en zh; do
    # A settings folder and a working folder of their own: the user's stay untouched.
    (cd "$scratch" && XDG_CONFIG_HOME="$scratch/config" xvfb-run -a -s "-screen 0 1240x860x24" \
        bash "$scratch/drive.sh" "$lang" "$build/tavix" "$out")
done
ls "$out"/window-en.png "$out"/context-menu-en.png "$out"/window-zh.png "$out"/menu-language-en.png "$out"/about-en.png "$out"/firmware-en.png
