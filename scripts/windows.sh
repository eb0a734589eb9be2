#!/usr/bin/env bash
# Tavix for Windows, cross-built on Debian with MinGW-w64 and tested under Wine.
#
#   scripts/windows.sh [--package] [--screenshot FILE]
#
# 1. Installs what is missing of g++-mingw-w64-x86-64-posix, mingw-w64-tools
#    and wine64 (scripts/deps.sh windows).
# 2. Finds the MinGW prefix (Qt 5, OpenCV core, cJSON, zlib built for MinGW):
#    TAVIX_MINGW_PREFIX, else ../shared/mingw/ beside the repository. Either
#    may be the prefix itself (qt5-mingw/ and deps/) or a folder holding
#    tavix-mingw-prefix.tar.xz, which is unpacked once into the cache folder
#    (${XDG_CACHE_HOME:-~/.cache}/tavix-mingw/). Without either, the prefix is
#    built there from Debian's sources by scripts/mingw-prefix.sh (about 45
#    minutes on 2 cores).
# 3. Cross-builds into build-windows/ (cmake/mingw-w64.cmake): tavix.exe,
#    tavixctl.exe, the simulated SDK as link.dll, and the tests.
# 4. Runs the tests under wine64 on the offscreen platform: ctest with
#    scripts/wine-run.sh as the emulator. The tests that cannot be judged
#    under Wine are left out; they are listed below with the reason.
# --package: also makes build-windows/tavix-2.0-win64.zip (tavix-2.0-win64/ with
#    the programs, the DLLs they need, platforms/qwindows.dll, the manual
#    Tavix.pdf printed by the native build in build/, and the simulated SDK in
#    simulator/).
# --screenshot FILE: also runs tavix.exe under Wine on Xvfb with camera 0 open
#    and saves a screenshot of the screen to FILE (needs xvfb and imagemagick).
#
# TAVIX_TEST_BLOCK picks the tests' block of loopback addresses and ports, as
# for the Linux build (tests/CMakeLists.txt).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

package=0
screenshot=""
while [ $# -gt 0 ]; do
    case "$1" in
        --package) package=1 ;;
        --screenshot) screenshot="$(realpath -m "${2:?--screenshot needs a file}")"; shift ;;
        *) echo "usage: scripts/windows.sh [--package] [--screenshot FILE]" >&2; exit 2 ;;
    esac
    shift
done

# The tests that do not run under Wine, and why. Each is a ctest name pattern.
excluded=(
    # Wine 8 binds a UDP socket asked for 127.x.y.z as 0.0.0.0, so the
    # simulated cameras of one process (and the tool beside them) share one
    # port: which socket gets a datagram is not the camera's choice.
    "tst_net_cmdresponder|UDP: several cameras' command sockets at one port on different 127.x addresses"
    "tst_net_mainwindow|UDP: the window's command socket and the simulated cameras' share one port"
    "tst_net_paramview|UDP: the window's command socket and the simulated cameras' share one port"
    "tst_e2e_params|UDP: the parameter report and acknowledgements of in-process simulated cameras"
)
# Within tests that do run, tests/wine.h skips (QSKIP, with the reason) what
# Wine cannot judge: tst_e2e_ctl's rows that need a camera's UDP reply (get,
# set, apply, the port held by another program) and those that wait for a
# restarted camera (Wine reports a refused TCP connection only as a time-out).

scripts/deps.sh windows
[ -z "$screenshot" ] || scripts/deps.sh run # Xvfb, ImageMagick's import, a CJK font

cache="${XDG_CACHE_HOME:-$HOME/.cache}/tavix-mingw"
# A prefix, or a folder with the prefix's tarball (unpacked once into the cache).
use_prefix() {
    local dir="$1"
    if [ -d "$dir/qt5-mingw" ] && [ -d "$dir/deps" ]; then
        prefix=$(cd "$dir" && pwd)
        return 0
    fi
    local tarball="$dir/tavix-mingw-prefix.tar.xz"
    [ -f "$tarball" ] || return 1
    local stamp
    stamp=$(sha256sum "$tarball" | cut -c1-16)
    prefix="$cache/$stamp"
    if [ ! -f "$prefix/.unpacked" ]; then
        echo "Unpacking $tarball into $prefix"
        rm -rf "$prefix"
        mkdir -p "$prefix"
        tar -xJf "$tarball" -C "$prefix"
        touch "$prefix/.unpacked"
    fi
}
prefix=""
if [ -n "${TAVIX_MINGW_PREFIX:-}" ]; then
    use_prefix "$TAVIX_MINGW_PREFIX" || { echo "TAVIX_MINGW_PREFIX=$TAVIX_MINGW_PREFIX holds no MinGW prefix" >&2; exit 1; }
elif ! use_prefix "$root/../shared/mingw"; then
    prefix="$cache/built"
    if [ ! -f "$prefix/.built" ]; then
        echo "No MinGW prefix at hand: building one in $prefix from Debian's sources (about 45 minutes)"
        scripts/mingw-prefix.sh "$prefix"
        touch "$prefix/.built"
    fi
fi
echo "MinGW prefix: $prefix"

# The manual is printed by a native build (build/, configured here if it is
# not yet) and shipped as it is: the cross build cannot run the printer.
manual_pdf=""
if [ "$package" -eq 1 ] && [ -f docs/manual.md ]; then
    [ -f build/CMakeCache.txt ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build --target tavix_manual_pdf >/dev/null
    manual_pdf="$root/build/Tavix.pdf"
fi

build=build-windows
cmake -S . -B "$build" -G Ninja -DTAVIX_MANUAL_PDF="$manual_pdf" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DTAVIX_MINGW_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVIX_WERROR=ON -DTAVIX_BENCH=OFF \
    ${TAVIX_TEST_BLOCK:+-DTAVIX_TEST_BLOCK="$TAVIX_TEST_BLOCK"} \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine-run.sh;$prefix" >/dev/null
cmake --build "$build" -j"$(nproc)"

# One Wine prefix for this build's programs, made before the tests start.
export WINEPREFIX="$root/$build/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver_bin=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Making the Wine prefix $WINEPREFIX"
    "$wine" wineboot --init >/dev/null 2>&1 || true
    "$wineserver_bin" --wait || true
fi
# One Wine session for all the programs, started here: the first program of a
# session starts Wine's own services, which keep its output open, and ctest
# would wait for that program's end until they stop. The session and
# whatever runs in it end with this script.
"$wineserver_bin" --persistent
trap '"$wineserver_bin" --kill >/dev/null 2>&1 || true' EXIT
"$wine" wineboot </dev/null >/dev/null 2>&1 || true

pattern=""
echo "Not run under Wine:"
for entry in "${excluded[@]}"; do
    echo "  ${entry%%|*}: ${entry#*|}"
    pattern+="${pattern:+|}^${entry%%|*}\$"
done
(cd "$build" && ctest --output-on-failure -j2 --timeout 600 -E "$pattern")

if [ -n "$screenshot" ]; then
    # The window on a virtual screen, camera 0 streaming from the simulated SDK
    # beside it (TAVIX_SDK_DIR), a few seconds after start.
    xvfb-run -a -s "-screen 0 1280x900x24" bash -c '
        TAVIX_SDK_DIR="'"$root/$build"'" scripts/wine-run.sh "'"$prefix"'" "'"$build"'/tavix.exe" --open 0 \
            >"'"$build"'/screenshot.log" 2>&1 &
        app=$!
        sleep "${TAVIX_SCREENSHOT_DELAY:-15}"
        import -window root "'"$screenshot"'"
        kill $app 2>/dev/null || true
        wait $app 2>/dev/null || true
    '
    echo "Screenshot saved: $screenshot"
fi

if [ "$package" -eq 1 ]; then
    name=tavix-2.0-win64
    stage="$build/package/$name"
    rm -rf "$build/package" "$build/$name.zip"
    cmake --install "$build" --prefix "$stage" --strip >/dev/null
    cmake --install "$build" --prefix "$stage" --component simulator --strip >/dev/null
    (cd "$build/package" && cmake -E tar cf "../$name.zip" --format=zip "$name")
    # What the folder must hold, and what must not sit beside tavix.exe.
    missing=()
    for f in tavix.exe tavixctl.exe simulator/link.dll platforms/qwindows.dll imageformats/qico.dll \
        Qt5Core.dll Qt5Gui.dll Qt5Widgets.dll Qt5Network.dll libopencv_core460.dll libcjson.dll libzlib.dll \
        libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
        [ -f "$stage/$f" ] || missing+=("$f")
    done
    if [ -d docs ] && [ -f docs/manual.md ] && [ ! -f "$stage/Tavix.pdf" ]; then missing+=(Tavix.pdf); fi
    [ ${#missing[@]} -eq 0 ] || { echo "the Windows package lacks: ${missing[*]}" >&2; exit 1; }
    [ ! -e "$stage/link.dll" ] || { echo "the Windows package has link.dll beside tavix.exe" >&2; exit 1; }
    # The unpacked folder runs on its own DLLs: no WINEPATH, the simulated SDK
    # only through TAVIX_SDK_DIR.
    unpacked="$root/$build/package/unpacked"
    mkdir -p "$unpacked"
    (cd "$unpacked" && cmake -E tar xf "$root/$build/$name.zip")
    dir="$unpacked/$name"
    # Qt's warnings (the SDK not found) to stderr, as there is no console.
    run_packaged() { (cd "$dir" && env -u WINEPATH LINKSIM_NETWORK=0 WINEQT_FORCE_STDERR_LOGGING=1 "$@" "$wine" tavixctl.exe list 2>&1) || true; }
    listed=$(run_packaged)
    if grep -q SimCam <<<"$listed" || ! grep -q "link.dll not found" <<<"$listed"; then
        echo "the packaged tavixctl.exe found the simulated SDK without being asked:" >&2
        echo "$listed" >&2
        exit 1
    fi
    simulator_dir="Z:${dir//\//\\}\\simulator"
    listed=$(run_packaged TAVIX_SDK_DIR="$simulator_dir")
    if ! grep -q SimCam-Mono <<<"$listed"; then
        echo "the packaged tavixctl.exe does not list the simulated cameras with TAVIX_SDK_DIR:" >&2
        echo "$listed" >&2
        exit 1
    fi
    rm -rf "$unpacked"
    echo "Windows package: $build/$name.zip ($(du -h "$build/$name.zip" | cut -f1))"
    (cd "$build/package" && find "$name" -type f | sort | sed 's/^/  /')
fi
