#!/usr/bin/env bash
# Runs one Windows program of the cross-build under wine64, as ctest's
# CMAKE_CROSSCOMPILING_EMULATOR (scripts/windows.sh sets it):
#
#   scripts/wine-run.sh MINGW_PREFIX PROGRAM.exe [ARGUMENT...]
#
# Wine does not hand the program environment variables named QT_*: they go as
# WINEQT_* (QT_QPA_PLATFORM=offscreen becomes WINEQT_QPA_PLATFORM). File paths
# in the settings (TAVIX_TEST_SDK, TAVIX_CTL, TAVIX_SDK_DIR, LINKSIM_FIRMWARE_DIR) and
# arguments naming existing files become Z:\ paths. The DLLs come from the
# prefix's Qt and deps folders and the MinGW runtime (WINEPATH), the platform
# plugins from the prefix's Qt (QT_PLUGIN_PATH). Qt's log and test output go
# to stderr (QT_FORCE_STDERR_LOGGING), as there is no console to write to.
# WINEPREFIX defaults to wine-prefix/ beside the program's build folder.
set -euo pipefail
prefix="$1"
shift

windows_path() { # /a/b -> Z:\a\b
    local p="$1"
    printf 'Z:%s' "${p//\//\\}"
}

runtime_dirs=(
    "$prefix/qt5-mingw/bin" "$prefix/deps/bin"
    "$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")"
    "$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libwinpthread-1.dll)")"
)
winepath=""
for d in "${runtime_dirs[@]}"; do
    winepath+="${winepath:+;}$(windows_path "$d")"
done
export WINEPATH="$winepath"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer prompts when a prefix is made.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ -z "${WINEPREFIX:-}" ]; then
    build=$(cd "$(dirname "$1")" && pwd)
    while [ "$build" != / ] && [ ! -f "$build/CMakeCache.txt" ]; do build=$(dirname "$build"); done
    export WINEPREFIX="$build/wine-prefix"
fi

export QT_PLUGIN_PATH="$(windows_path "$prefix/qt5-mingw/plugins")"
export QT_FORCE_STDERR_LOGGING=1
for name in TAVIX_TEST_SDK TAVIX_CTL TAVIX_SDK_DIR LINKSIM_FIRMWARE_DIR; do
    value="${!name:-}"
    if [ -n "$value" ] && [ "${value#/}" != "$value" ]; then
        export "$name=$(windows_path "$value")"
    fi
done
while IFS='=' read -r name _; do
    case "$name" in
        QT_*) export "WINE$name=${!name}" ;;
    esac
done < <(env)

program="$1"
shift
args=()
for a in "$@"; do
    if [ "${a#/}" != "$a" ] && [ -e "$a" ]; then args+=("$(windows_path "$a")"); else args+=("$a"); fi
done
# Debian's wine64 package keeps the loader out of PATH.
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
exec "$wine" "$program" "${args[@]}"
