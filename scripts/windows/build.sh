#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds Wakewell for 64-bit Windows on Debian 12 with MinGW-w64, and makes its zip and
# its installer with cpack; with "test", runs its tests under Wine first, and fails on a QtTest
# function that skips where tests/expected-skips does not expect it.
#
#   QT_MINGW=/opt/qt6-mingw scripts/windows/build.sh [test]
#
# QT_MINGW names a folder of Qt 6.4 built for MinGW-w64 (it holds lib/cmake/Qt6). To have one,
# unpack the archive that is kept beside the project's clone,
#   tar -C /opt -xJf ../shared/windows/qt6.4.2-mingw-w64-x86_64.tar.xz    # gives /opt/qt6-mingw
# or build it from Debian's own sources, about an hour on two cores:
#   sudo scripts/windows/build-qt-mingw.sh /opt/qt6-mingw
# BUILD_DIR names the build folder (default build-win). Installs what is missing
# (scripts/setup.sh run test windows), as root or through sudo.
set -euo pipefail
cd "$(dirname "$0")/../.."
here=$PWD/scripts/windows

qt=${QT_MINGW:-}
if [ -z "$qt" ] || [ ! -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
    echo "QT_MINGW must name a folder of Qt for MinGW-w64; to have one:" >&2
    sed -n '/^# QT_MINGW names/,/^#   sudo/p' "$0" >&2
    exit 2
fi

# The Linux build's tools (its moc and rcc serve the Windows build too) and tests, and what
# the Windows build adds.
bash scripts/setup.sh run test windows

dir=${BUILD_DIR:-build-win}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$here/mingw-w64-x86_64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
cmake --build "$dir"
if [ "${1:-}" = test ]; then
    status=0
    ctest --test-dir "$dir" --output-on-failure --timeout 900 || status=$?
    bash tests/skips.sh windows "$dir" || status=1
    [ "$status" -eq 0 ] || exit "$status"
fi
(cd "$dir" && cpack)
