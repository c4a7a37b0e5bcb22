# SPDX-License-Identifier: GPL-3.0-or-later
# Wakewell for Windows as a user installs it: the program with its icon, and beside it
# everything it needs, since Windows looks for DLLs next to the program and Qt for its plugins
# there: MinGW's runtime, Qt's DLLs, and the plugins of the platform, the picture formats
# (JPEG, ICO; BMP is Qt's own) and Qt Multimedia (the machine's sound outputs). No style
# plugin: the program draws with Qt's own Fusion.
# `cpack` in the build folder makes a zip and an installer (NSIS), both named with the version.

enable_language(RC)
set(WAKEWELL_ICON ${PROJECT_SOURCE_DIR}/resources/icons/wakewell.ico)
set(WAKEWELL_SUMMARY ${CPACK_PACKAGE_DESCRIPTION_SUMMARY})
configure_file(cmake/wakewell.rc.in wakewell.rc @ONLY)
target_sources(wakewell PRIVATE ${PROJECT_BINARY_DIR}/wakewell.rc)

install(TARGETS wakewell RUNTIME DESTINATION .)
install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES ${WAKEWELL_MINGW_RUNTIME} DESTINATION .)
foreach(module Core Gui Widgets Multimedia Network)
    install(FILES ${WAKEWELL_QT_BIN}/Qt6${module}.dll DESTINATION .)
endforeach()
foreach(plugin platforms/qwindows imageformats/qjpeg imageformats/qico
               multimedia/windowsmediaplugin)
    get_filename_component(folder ${plugin} DIRECTORY)
    install(FILES ${WAKEWELL_QT_PLUGINS}/${plugin}.dll DESTINATION ${folder})
endforeach()
# MinGW's runtime and this Qt come with their debugging symbols: libstdc++ shrinks from
# 24 MB to 2 MB without them.
install(CODE "
    file(GLOB_RECURSE dlls \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/*.dll\")
    foreach(dll IN LISTS dlls)
        execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${dll}\"
                        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
")

set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_FILE_NAME wakewell-${PROJECT_VERSION}-windows-x86_64)
set(CPACK_PACKAGE_VENDOR Wakewell)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Wakewell)
set(CPACK_PACKAGE_EXECUTABLES wakewell Wakewell)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
# A 64-bit installer for the 64-bit program: it writes its uninstall key where Windows lists
# 64-bit programs, and runs where Wine has no 32-bit side.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME Wakewell)
set(CPACK_NSIS_DISPLAY_NAME Wakewell)
set(CPACK_NSIS_MUI_ICON ${WAKEWELL_ICON})
set(CPACK_NSIS_MUI_UNIICON ${WAKEWELL_ICON})
set(CPACK_NSIS_INSTALLED_ICON_NAME wakewell.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
