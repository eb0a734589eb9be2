#!/usr/bin/env bash
# Installs the Debian packages Tavix needs to build, test and run, when any is
# missing. Usage: scripts/deps.sh [build|test|run|windows]
#   windows: the MinGW-w64 cross-compiler and Wine for scripts/windows.sh
set -euo pipefail

build_pkgs=(cmake ninja-build g++ pkg-config qtbase5-dev qtbase5-dev-tools qttools5-dev-tools
            libopencv-core-dev libcjson-dev zlib1g-dev libbenchmark-dev fonts-wqy-microhei)
test_pkgs=(clang libclang-rt-14-dev xvfb xauth poppler-utils dpkg-dev fakeroot file desktop-file-utils)
run_pkgs=(xvfb xauth imagemagick fonts-wqy-microhei)
windows_pkgs=(g++-mingw-w64-x86-64-posix mingw-w64-tools wine64)

want=("${build_pkgs[@]}")
case "${1:-build}" in
    test) want+=("${test_pkgs[@]}") ;;
    run) want+=("${run_pkgs[@]}") ;;
    windows) want=("${windows_pkgs[@]}") ;;
esac

missing=()
for pkg in "${want[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    sudo=()
elif command -v sudo >/dev/null; then
    sudo=(sudo)
else
    echo "Missing packages and no way to install them: ${missing[*]}" >&2
    exit 1
fi
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
