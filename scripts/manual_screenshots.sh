#!/usr/bin/env bash
# Screenshots for the user manual (docs/manual.md), taken on a virtual X server
# from the real program with the simulated cameras, camera 0 open:
#   docs/window-en.png, docs/window-zh.png  the window in English and in Chinese
#   docs/context-menu-en.png               the camera list's context menu
#   docs/menu-language-en.png              the Help menu with its Language entry open
#   docs/about-en.png                      the about box
#   docs/firmware-en.png                   the firmware download dialog
#   docs/log-en.png, docs/log-zh.png       the log view, filtered for "camera"
#   docs/recording-en.png, ...-zh.png      the recording settings, a time limit chosen
#   docs/recording-status-en.png           the tool bar and the status bar while recording
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
click() { xdotool mousemove "$1" "$2" sleep 0.2 mousemove "$(($1 + 2))" "$2" click 1; sleep 0.8; }
if [ "$lang" = en ]; then
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
xdotool windowunmap "$dialog"
sleep 0.5
fi
# Record (the tool bar's last button), then the log view, filtered.
click 347 40
sleep 2
click 279 40
click 300 23
xdotool type camera
sleep 1
if [ "$lang" = en ]; then log=Log settings=117 dialog=Recording/capture; else log=日志 settings=103 dialog=录像/抓图; fi
window=$(xdotool search --name "^$log\$" | head -n 1)
import -window "$window" "$out/log-$lang.png"
xdotool windowunmap "$window"
sleep 0.5
if [ "$lang" = en ]; then
    import -window root "$out/recording-full.png"
    convert "$out/recording-full.png" \( +clone -crop 1240x60+0+0 +repage \) \
        \( -clone 0 -crop 1240x30+0+800 +repage \) -delete 0 -append "$out/recording-status-en.png"
    rm -f "$out/recording-full.png"
fi
# Settings, Recording/capture; the stop rule "after N seconds".
click "$settings" 10
click $((settings + 30)) 59
window=$(xdotool search --name "^$dialog\$" | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove $((X + WIDTH - 100)) $((Y + 85)) click 1
sleep 0.6
xdotool key Down Return
sleep 0.6
import -window "$window" "$out/recording-$lang.png"
DRIVE

for lang in en zh; do
    # A settings folder and a working folder of their own: the user's stay untouched.
    (cd "$scratch" && XDG_CONFIG_HOME="$scratch/config" xvfb-run -a -s "-screen 0 1240x860x24" \
        bash "$scratch/drive.sh" "$lang" "$build/tavix" "$out")
done
ls "$out"/log-en.png "$out"/log-zh.png "$out"/recording-en.png "$out"/recording-zh.png \
    "$out"/recording-status-en.png "$out"/window-en.png "$out"/context-menu-en.png "$out"/window-zh.png "$out"/menu-language-en.png "$out"/about-en.png "$out"/firmware-en.png
