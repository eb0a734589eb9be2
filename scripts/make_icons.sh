#!/bin/sh
# Renders the tool-bar icons from their SVG drawings (resources/img/src) into
# multi-size Windows icons (16, 24, 32 and 48 pixels) under resources/img.
# Needs ImageMagick. Run from anywhere; rerun after editing a drawing.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
src="$root/resources/img/src"
out="$root/resources/img"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for svg in "$src"/*.svg; do
    name=$(basename "$svg" .svg)
    for size in 16 24 32 48; do
        convert -background none -density 384 "$svg" -resize "${size}x${size}" \
            "PNG32:$tmp/$name-$size.png"
    done
    convert "$tmp/$name-16.png" "$tmp/$name-24.png" "$tmp/$name-32.png" "$tmp/$name-48.png" \
        "$out/$name.ico"
    echo "$out/$name.ico"
done
