# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows build, cross-built with MinGW-w64 and run under Wine.

# Resources are compressed with zlib: Qt for MinGW is built without zstd, which the host's rcc
# would use.
if(CMAKE_CROSSCOMPILING)
    set(CMAKE_AUTORCC_OPTIONS --no-zstd)
endif()

# MinGW's own runtime, which every program and Qt DLL links.
set(WAKEWELL_MINGW_RUNTIME)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(path "${path}" REALPATH)
    if(NOT EXISTS "${path}")
        message(FATAL_ERROR "MinGW's ${dll} was not found")
    endif()
    list(APPEND WAKEWELL_MINGW_RUNTIME "${path}")
endforeach()

# Qt's DLLs and plugins, where this Qt keeps them.
get_target_property(WAKEWELL_QT_CORE_DLL Qt6::Core IMPORTED_LOCATION_RELEASE)
get_filename_component(WAKEWELL_QT_BIN "${WAKEWELL_QT_CORE_DLL}" DIRECTORY)
set(WAKEWELL_QT_PLUGINS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS}")

# Under Wine, programs find the DLLs through WINEPATH; Z: is the host's root.
if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(folders "${WAKEWELL_QT_BIN}")
    foreach(dll IN LISTS WAKEWELL_MINGW_RUNTIME)
        get_filename_component(folder "${dll}" DIRECTORY)
        list(APPEND folders "${folder}")
    endforeach()
    list(REMOVE_DUPLICATES folders)
    list(TRANSFORM folders PREPEND "Z:")
    list(TRANSFORM folders REPLACE "/" "\\\\")
    list(JOIN folders ";" WAKEWELL_WINEPATH)
    set(WAKEWELL_WINEPREFIX "${PROJECT_BINARY_DIR}/wineprefix")
    # Qt's offscreen platform reads fonts from one folder: the host's DejaVu, and Liberation
    # Sans, which the window takes where Arial is missing.
    set(WAKEWELL_FONTDIR ${PROJECT_BINARY_DIR}/fonts)
    file(GLOB fonts /usr/share/fonts/truetype/dejavu/*.ttf
                    /usr/share/fonts/truetype/liberation/LiberationSans-*.ttf)
    file(MAKE_DIRECTORY ${WAKEWELL_FONTDIR})
    foreach(font IN LISTS fonts)
        get_filename_component(name ${font} NAME)
        file(CREATE_LINK ${font} ${WAKEWELL_FONTDIR}/${name} SYMBOLIC)
    endforeach()
    configure_file(tests/windows/wine-run.sh.in wine-run.sh @ONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${PROJECT_BINARY_DIR}/wine-run.sh")
endif()
