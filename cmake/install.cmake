# What `cmake --install` puts where, and the packages CPack makes of it.
#
# Component `tavix` (the default): tavix, tavixctl, the user manual when the
# build makes it, the desktop entry and the icon; on Windows also the DLLs the
# programs need (Qt, its platform and icon plugins, OpenCV core, cJSON, zlib,
# the MinGW runtime), so that the installed folder runs as it is.
#
# Component `simulator`: the simulated camera SDK, installed only when asked
# for (`cmake --install build --component simulator`) and into a folder of its
# own, lib/tavix/simulator/ (simulator\ on Windows), where the SDK binding
# looks only when TAVIX_SDK_DIR names it (sim/README.md).
include(GNUInstallDirs)
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME tavix)

if(WIN32)
    # One folder: the programs and their DLLs at the top, as Windows finds them.
    set(TAVIX_BIN_DIR .)
    set(TAVIX_DOC_DIR .) # beside tavix.exe
    set(TAVIX_SIMULATOR_DIR simulator)
else()
    set(TAVIX_BIN_DIR ${CMAKE_INSTALL_BINDIR})
    set(TAVIX_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/tavix)
    set(TAVIX_SIMULATOR_DIR ${CMAKE_INSTALL_LIBDIR}/tavix/simulator)
endif()

install(TARGETS tavix tavixctl RUNTIME DESTINATION ${TAVIX_BIN_DIR} COMPONENT tavix)

# The user manual: whatever build step makes it writes Tavix.pdf at the top of
# the build folder; until one does, there is nothing to install.
install(FILES ${PROJECT_BINARY_DIR}/Tavix.pdf DESTINATION ${TAVIX_DOC_DIR} COMPONENT tavix OPTIONAL)

if(NOT WIN32)
    install(FILES resources/app/tavix.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications
            COMPONENT tavix)
    install(FILES resources/app/tavix.svg DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps
            COMPONENT tavix)
    install(FILES resources/app/tavix-48.png DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/48x48/apps
            RENAME tavix.png COMPONENT tavix)
endif()

install(TARGETS link
        LIBRARY DESTINATION ${TAVIX_SIMULATOR_DIR} COMPONENT simulator EXCLUDE_FROM_ALL
        RUNTIME DESTINATION ${TAVIX_SIMULATOR_DIR} COMPONENT simulator EXCLUDE_FROM_ALL
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development EXCLUDE_FROM_ALL)

if(WIN32 AND TAVIX_MINGW_PREFIX)
    # The DLLs beside the programs, found where the cross-build took them from.
    set(qt ${TAVIX_MINGW_PREFIX}/qt5-mingw)
    install(FILES ${qt}/bin/Qt5Core.dll ${qt}/bin/Qt5Gui.dll ${qt}/bin/Qt5Widgets.dll ${qt}/bin/Qt5Network.dll
                  ${TAVIX_MINGW_PREFIX}/deps/bin/libopencv_core460.dll ${TAVIX_MINGW_PREFIX}/deps/bin/libcjson.dll
                  ${TAVIX_MINGW_PREFIX}/deps/bin/libzlib.dll
            DESTINATION ${TAVIX_BIN_DIR} COMPONENT tavix)
    install(FILES ${qt}/plugins/platforms/qwindows.dll DESTINATION ${TAVIX_BIN_DIR}/platforms COMPONENT tavix)
    # The tool bar's icons are .ico files.
    install(FILES ${qt}/plugins/imageformats/qico.dll DESTINATION ${TAVIX_BIN_DIR}/imageformats
            COMPONENT tavix)
    set(runtime)
    foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll} OUTPUT_VARIABLE path
                        OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
            message(FATAL_ERROR "MinGW runtime ${dll} not found by ${CMAKE_CXX_COMPILER}")
        endif()
        list(APPEND runtime ${path})
    endforeach()
    set(TAVIX_MINGW_RUNTIME ${runtime} CACHE INTERNAL "The MinGW runtime DLLs the programs load")
    install(FILES ${runtime} DESTINATION ${TAVIX_BIN_DIR} COMPONENT tavix)
endif()

# Debian packages: `cpack -G DEB` in the build folder makes tavix_2.0_amd64.deb
# (the programs) and tavix-simulator_2.0_amd64.deb (the simulated SDK), with
# their dependencies worked out by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME tavix)
set(CPACK_PACKAGE_VENDOR "Tavix")
set(CPACK_PACKAGE_CONTACT "Tavix developers <tavix@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop tool for network-attached industrial cameras")
set(CPACK_PACKAGE_DESCRIPTION
    "Tavix lists the cameras the camera SDK finds, shows a camera's live picture, edits its image parameters "
    "over the UDP command protocol, keeps parameter sets in JSON files, saves BMP snapshots and downloads "
    "firmware files to cameras. tavixctl does the same from scripts.")
set(CPACK_COMPONENTS_ALL tavix simulator)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_TAVIX_PACKAGE_NAME tavix)
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_NAME tavix-simulator)
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_DEPENDS "tavix (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_TAVIX_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_COMPONENT_SIMULATOR_DESCRIPTION
    "A stand-in for the vendor's camera SDK with simulated cameras on loopback addresses, for trying Tavix "
    "without cameras. Tavix uses it only when TAVIX_SDK_DIR names its folder.")
set(CPACK_GENERATOR DEB)
include(CPack)
