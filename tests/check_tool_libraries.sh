#!/bin/sh
# tavixctl loads neither Qt Gui nor OpenCV (ldd: its own libraries and theirs),
# and its zero-initialised storage holds none of the window's frame buffers.
#
#   tests/check_tool_libraries.sh PATH-TO-TAVIXCTL
set -eu
tool="$1"
libraries=$(ldd "$tool") || { echo "ldd cannot read $tool"; exit 1; }
# Without Qt Core in the list, ldd did not show what the tool loads.
echo "$libraries" | grep -q 'libQt5Core' || { echo "ldd lists no Qt Core:"; echo "$libraries"; exit 1; }
if echo "$libraries" | grep -Ei 'libQt5(Gui|Widgets)|libopencv'; then
    echo "tavixctl loads the libraries above, which it does not need"
    exit 1
fi
command -v size >/dev/null || { echo "no size(1) here: the storage is not checked"; exit 0; }
bss=$(size -A "$tool" | awk '$1 == ".bss" { print $2 }')
[ -n "$bss" ] || { echo "size finds no .bss in $tool"; exit 1; }
if [ "$bss" -ge 16777216 ]; then
    echo "tavixctl holds $bss bytes of zero-initialised storage: frame buffers it does not use?"
    exit 1
fi
echo "tavixctl: no Qt Gui, no OpenCV, $bss bytes of zero-initialised storage"
