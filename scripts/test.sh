#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Wakewell with its tests and runs every test through CTest.
# BUILD_DIR names the build folder (default build-test).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh run test
dir=${BUILD_DIR:-build-test}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$dir"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$dir" --output-on-failure --timeout 600
