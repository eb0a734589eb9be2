#!/usr/bin/env bash
# Checks what Tavix installs and packages, from a configured and built build
# folder (default build/):
#  - `cmake --install` gives tavix, tavixctl, the desktop entry (valid for
#    desktop-file-validate) and the icon, and no simulated SDK; the component
#    `simulator` adds it under lib/tavix/simulator/ only;
#  - the installed tavixctl finds no camera SDK by itself, and lists the
#    simulated cameras once TAVIX_SDK_DIR names the simulator's folder;
#  - `cpack -G DEB` makes tavix_2.0_amd64.deb and tavix-simulator_2.0_amd64.deb
#    with the expected files and dpkg-shlibdeps' Depends, and the packaged
#    `tavix --version` runs;
#  - the user manual (Tavix.pdf) is installed and packaged once the tree has
#    one (docs/manual.md).
# Prints one line per check; exits 1 when one fails.
#
#   scripts/check_package.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() { # check WHAT COMMAND...
    local what="$1"
    shift
    if "$@" >"$work/out" 2>&1; then
        echo "ok: $what"
    else
        echo "FAILED: $what" >&2
        sed 's/^/    /' "$work/out" >&2
        failures=$((failures + 1))
    fi
}
has() { [ -e "$1" ]; }
manual=0
[ -f docs/manual.md ] && manual=1

# The default install, then the simulator component on top.
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
check "installs bin/tavix" has "$prefix/bin/tavix"
check "installs bin/tavixctl" has "$prefix/bin/tavixctl"
check "installs the desktop entry" has "$prefix/share/applications/tavix.desktop"
check "the desktop entry is valid" desktop-file-validate "$prefix/share/applications/tavix.desktop"
check "installs the icon" has "$prefix/share/icons/hicolor/scalable/apps/tavix.svg"
check "installs the 48 px icon" has "$prefix/share/icons/hicolor/48x48/apps/tavix.png"
check "the default install has no simulated SDK" bash -c "! find '$prefix' -name 'liblink*' | grep -q ."
if [ "$manual" -eq 1 ]; then
    check "installs the manual" has "$prefix/share/doc/tavix/Tavix.pdf"
fi
no_sdk() { # the installed tool, without the simulator's folder: no camera SDK
    local out
    out=$(LINKSIM_NETWORK=0 "$prefix/bin/tavixctl" list 2>&1 || true)
    echo "$out"
    grep -q "not found" <<<"$out" && ! grep -q SimCam <<<"$out"
}
cmake --install "$build" --prefix "$prefix" --component simulator >/dev/null
libdir=$(grep -m1 '^CMAKE_INSTALL_LIBDIR:' "$build/CMakeCache.txt" | cut -d= -f2)
simulator="$prefix/${libdir:-lib}/tavix/simulator"
check "the simulator component installs $simulator/liblink.so" has "$simulator/liblink.so"
check "the installed tavixctl does not find the simulated SDK by itself" no_sdk
check "with TAVIX_SDK_DIR the installed tavixctl lists the simulated cameras" \
    bash -c "TAVIX_SDK_DIR='$simulator' LINKSIM_NETWORK=0 '$prefix/bin/tavixctl' list | grep -q SimCam-Mono"

# The Debian packages.
(cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; exit 1; }
deb="$build/tavix_2.0_amd64.deb"
simdeb="$build/tavix-simulator_2.0_amd64.deb"
check "cpack makes tavix_2.0_amd64.deb" has "$deb"
check "cpack makes tavix-simulator_2.0_amd64.deb" has "$simdeb"
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/files"
dpkg-deb -c "$simdeb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/simfiles"
for f in /usr/bin/tavix /usr/bin/tavixctl /usr/share/applications/tavix.desktop \
    /usr/share/icons/hicolor/scalable/apps/tavix.svg /usr/share/icons/hicolor/48x48/apps/tavix.png; do
    check "tavix package holds $f" grep -qx "$f" "$work/files"
done
if [ "$manual" -eq 1 ]; then
    check "tavix package holds the manual" grep -qx /usr/share/doc/tavix/Tavix.pdf "$work/files"
fi
check "tavix package holds no simulated SDK" bash -c "! grep -q liblink '$work/files'"
check "tavix-simulator package holds liblink.so" grep -q "/usr/${libdir:-lib}/tavix/simulator/liblink.so$" "$work/simfiles"
depends=$(dpkg-deb -f "$deb" Depends)
echo "   Depends: $depends"
for lib in libqt5widgets5 libqt5network5 libqt5gui5 libqt5core5a libopencv-core406 libcjson1 libc6 libstdc++6; do
    check "tavix depends on $lib" grep -q "$lib" <<<"$depends"
done
simdepends=$(dpkg-deb -f "$simdeb" Depends)
echo "   tavix-simulator Depends: $simdepends"
check "tavix-simulator depends on tavix 2.0" grep -q "tavix (= 2.0)" <<<"$simdepends"
check "tavix-simulator depends on libqt5core5a" grep -q libqt5core5a <<<"$simdepends"
dpkg-deb -x "$deb" "$work/root"
check "the packaged tavix --version runs" \
    bash -c "QT_QPA_PLATFORM=offscreen '$work/root/usr/bin/tavix' --version | grep -qx 'Tavix 2.0'"

if [ "$failures" -gt 0 ]; then
    echo "$failures package check(s) failed" >&2
    exit 1
fi
echo "package checks passed: $(basename "$deb"), $(basename "$simdeb")"
