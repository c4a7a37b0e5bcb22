#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Wakewell with its tests and runs every test through CTest,
# then lists the QtTest functions that skipped and fails on any not expected on Linux
# (tests/skips.sh). BUILD_DIR names the build folder (default build-test); arguments go to
# CTest (-R NAME runs the tests whose names match).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh run test
dir=${BUILD_DIR:-build-test}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$dir"
export QT_QPA_PLATFORM=offscreen
status=0
ctest --test-dir "$dir" --output-on-failure --timeout 600 "$@" || status=$?
bash tests/skips.sh linux "$dir" || status=1
exit "$status"
