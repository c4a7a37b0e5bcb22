# SPDX-License-Identifier: GPL-3.0-or-later
# The names that the wake helper and its callers share, read from the description of its
# interface so that they are written once: WAKER_SERVICE (the bus name, that of the interface),
# WAKER_OBJECT_PATH and WAKER_ACTION (polkit's action) for the files that name them, and
# waker/wakerbus.h under WAKER_GENERATED, which holds them and the error names for both programs.
set(WAKER_INTERFACE ${PROJECT_SOURCE_DIR}/resources/waker/io.github.wakewell.Waker.xml)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${WAKER_INTERFACE})
file(READ ${WAKER_INTERFACE} xml)
string(REGEX MATCH "<node name=\"([^\"]+)\"" found "${xml}")
set(WAKER_OBJECT_PATH ${CMAKE_MATCH_1})
string(REGEX MATCH "<interface name=\"([^\"]+)\"" found "${xml}")
set(WAKER_SERVICE ${CMAKE_MATCH_1})
string(REGEX MATCH "\\.PolkitAction\" value=\"([^\"]+)\"" found "${xml}")
set(WAKER_ACTION ${CMAKE_MATCH_1})
string(REGEX MATCHALL "\"${WAKER_SERVICE}\\.Error\\.[A-Za-z]+\"" errors "${xml}")
if(NOT WAKER_OBJECT_PATH OR NOT WAKER_SERVICE OR NOT WAKER_ACTION OR NOT errors)
    message(FATAL_ERROR "${WAKER_INTERFACE} lacks the node's path, the interface, its polkit action or its errors")
endif()
set(WAKER_ERRORS "")
foreach(error IN LISTS errors)
    string(REGEX REPLACE ".*\\.Error\\.([A-Za-z]+)\"" "\\1" short "${error}")
    string(APPEND WAKER_ERRORS "inline constexpr char ${short}[] = ${error};\n")
endforeach()
set(WAKER_GENERATED ${PROJECT_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/src/waker/wakerbus.h.in ${WAKER_GENERATED}/waker/wakerbus.h @ONLY)
