#!/usr/bin/env bash
# Builds the MinGW-w64 (x86_64, posix threads) prefix that the Windows cross-build uses, from Debian 12's own
# source packages: Qt 5.15.8 qtbase (Core, Gui, Widgets, Network, Test; windows + offscreen platform plugins),
# OpenCV 4.6 core, cJSON 1.7.15 and zlib 1.2.13. About 45 minutes on 2 cores, most of it Qt.
# Usage: scripts/mingw-prefix.sh OUT_DIR   (OUT_DIR/qt5-mingw and OUT_DIR/deps are made; WORK_DIR defaults to OUT_DIR/work)
# scripts/windows.sh runs it, into a cache folder outside the tree, when no ready prefix is at hand.
set -euo pipefail
OUT=$(mkdir -p "$1" && cd "$1" && pwd); WORK=${WORK_DIR:-$OUT/work}; mkdir -p "$WORK/src" "$WORK/aptlists/partial"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools cmake make dpkg-dev xz-utils >/dev/null

# Source packages through a deb-src list of our own; the system's apt sources stay as they are.
sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > "$WORK/debsrc.sources"
APT=(-o Dir::Etc::sourcelist="$WORK/debsrc.sources" -o Dir::Etc::sourceparts=/nonexistent -o Dir::State::Lists="$WORK/aptlists")
apt-get "${APT[@]}" update -qq
# zlib: the security update's source is not served, so the release version is named.
(cd "$WORK/src" && for p in qtbase-opensource-src opencv cjson zlib=1:1.2.13.dfsg-1; do apt-get "${APT[@]}" source -qq "$p" >/dev/null; done)
QTSRC=$(ls -d "$WORK"/src/qtbase-opensource-src-*/ | head -1); CVSRC=$(ls -d "$WORK"/src/opencv-*/ | head -1)
CJSRC=$(ls -d "$WORK"/src/cjson-*/ | head -1); ZSRC=$(ls -d "$WORK"/src/zlib-*/ | head -1)

# Debian's zlib source has no win32/ folder: build the DLL without its resource file.
sed -i 's|^if(MINGW)$|if(MINGW AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/win32/zlib1.rc)|' "$ZSRC/CMakeLists.txt"

TC=$WORK/mingw-w64-x86_64.cmake
cat > "$TC" <<TCEOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 $OUT/deps)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
TCEOF

# Qt: configure about 2 min, build about 30 min alone on 2 cores (make -j2), install 109 MB.
# -no-feature-tabletevent: Debian's source drops 3rdparty/wintab. OpenCV: Debian's source drops 3rdparty/, so every codec is off.
mkdir -p "$WORK/qt-build"; cd "$WORK/qt-build"
"$QTSRC/configure" -prefix "$OUT/qt5-mingw" \
  -xplatform win32-g++ -device-option CROSS_COMPILE=x86_64-w64-mingw32- \
  -opensource -confirm-license -release -shared -nomake examples -nomake tests \
  -no-opengl -no-dbus -no-vulkan -no-icu -no-openssl -no-fontconfig \
  -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-doubleconversion \
  -no-feature-tabletevent -no-direct2d -no-feature-sql -no-feature-xml -no-feature-concurrent -no-feature-printer
make -j"$(nproc)" && make install

cmake -S "$ZSRC" -B "$WORK/build-zlib" -DCMAKE_TOOLCHAIN_FILE="$TC" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$OUT/deps" >/dev/null
cmake --build "$WORK/build-zlib" -j"$(nproc)" --target zlib zlibstatic >/dev/null && cmake --install "$WORK/build-zlib" >/dev/null
cmake -S "$CJSRC" -B "$WORK/build-cjson" -DCMAKE_TOOLCHAIN_FILE="$TC" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$OUT/deps" \
  -DBUILD_SHARED_LIBS=ON -DENABLE_CJSON_TEST=OFF -DENABLE_CJSON_UTILS=OFF -DENABLE_CUSTOM_COMPILER_FLAGS=OFF >/dev/null
cmake --build "$WORK/build-cjson" -j"$(nproc)" --target install >/dev/null
cmake -S "$CVSRC" -B "$WORK/build-opencv" -DCMAKE_TOOLCHAIN_FILE="$TC" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$OUT/deps" \
  -DBUILD_LIST=core -DBUILD_SHARED_LIBS=ON -DBUILD_TESTS=OFF -DBUILD_PERF_TESTS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_opencv_apps=OFF \
  -DBUILD_DOCS=OFF -DBUILD_JAVA=OFF -DBUILD_opencv_python3=OFF -DBUILD_opencv_python2=OFF -DBUILD_ZLIB=OFF \
  -DWITH_IPP=OFF -DWITH_ITT=OFF -DWITH_OPENCL=OFF -DWITH_ADE=OFF -DWITH_EIGEN=OFF -DWITH_LAPACK=OFF -DWITH_PROTOBUF=OFF \
  -DWITH_CAROTENE=OFF -DWITH_OPENMP=OFF -DWITH_VA=OFF -DWITH_VA_INTEL=OFF -DWITH_DIRECTX=OFF -DWITH_OPENCL_D3D11_NV=OFF \
  -DWITH_JPEG=OFF -DWITH_PNG=OFF -DWITH_TIFF=OFF -DWITH_WEBP=OFF -DWITH_OPENJPEG=OFF -DWITH_JASPER=OFF -DWITH_OPENEXR=OFF \
  -DWITH_IMGCODEC_HDR=OFF -DWITH_QUIRC=OFF -DWITH_FFMPEG=OFF -DWITH_GSTREAMER=OFF -DWITH_DSHOW=OFF -DWITH_MSMF=OFF \
  -DWITH_OBSENSOR=OFF -DWITH_WIN32UI=OFF -DWITH_QT=OFF -DWITH_GTK=OFF -DWITH_1394=OFF -DWITH_V4L=OFF \
  -DOPENCV_SKIP_PYTHON_LOADER=ON -DINSTALL_CREATE_DISTRIB=OFF -DOPENCV_BIN_INSTALL_PATH=bin -DOPENCV_LIB_INSTALL_PATH=lib \
  -DOPENCV_LIB_ARCHIVE_INSTALL_PATH=lib -DOPENCV_CONFIG_INSTALL_PATH=lib/cmake/opencv4 -DOPENCV_INCLUDE_INSTALL_PATH=include/opencv4 \
  -DOPENCV_3P_LIB_INSTALL_PATH=lib -DOPENCV_OTHER_INSTALL_PATH=share/opencv4 -DOPENCV_LICENSES_INSTALL_PATH=share/licenses/opencv4 >/dev/null
cmake --build "$WORK/build-opencv" -j"$(nproc)" --target install >/dev/null
echo "prefix ready: $OUT/qt5-mingw (Qt) and $OUT/deps (OpenCV core, cJSON, zlib)"
