# Cross-building Tavix for 64-bit Windows with Debian's MinGW-w64 (posix threads).
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DTAVIX_MINGW_PREFIX=/path/to/prefix
#
# The prefix holds qt5-mingw/ (Qt 5 for MinGW, with the Linux host tools moc,
# rcc and uic in its bin/) and deps/ (OpenCV core, cJSON, zlib), as
# scripts/mingw-prefix.sh builds them. TAVIX_MINGW_PREFIX may also come from
# the environment.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAVIX_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVIX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVIX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVIX_MINGW_TRIPLET}-windres)

if(NOT TAVIX_MINGW_PREFIX AND DEFINED ENV{TAVIX_MINGW_PREFIX})
    set(TAVIX_MINGW_PREFIX "$ENV{TAVIX_MINGW_PREFIX}")
endif()
if(NOT TAVIX_MINGW_PREFIX OR NOT EXISTS "${TAVIX_MINGW_PREFIX}/qt5-mingw")
    message(FATAL_ERROR "TAVIX_MINGW_PREFIX must name a MinGW prefix with qt5-mingw/ and deps/ "
                        "(got '${TAVIX_MINGW_PREFIX}'); scripts/windows.sh finds or builds one")
endif()
set(TAVIX_MINGW_PREFIX "${TAVIX_MINGW_PREFIX}" CACHE PATH "MinGW prefix with qt5-mingw/ and deps/")
# The toolchain file is read again by try_compile projects: pass the prefix on.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAVIX_MINGW_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVIX_MINGW_TRIPLET} ${TAVIX_MINGW_PREFIX}/qt5-mingw ${TAVIX_MINGW_PREFIX}/deps)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# cJSON's package file records the folder it was built in: name its files directly.
set(CJSON_INCLUDE_DIR ${TAVIX_MINGW_PREFIX}/deps/include CACHE PATH "")
set(CJSON_LIBRARY ${TAVIX_MINGW_PREFIX}/deps/lib/libcjson.dll.a CACHE FILEPATH "")
