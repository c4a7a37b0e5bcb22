#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the tests with AddressSanitizer and UndefinedBehaviorSanitizer and runs them.
# Any report of either ends the test that made it with a failure; a QtTest function that
# skips fails them too unless it is expected (tests/skips.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh run test
dir=${BUILD_DIR:-build-sanitize}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DWAKEWELL_SANITIZE=ON
cmake --build "$dir"
export QT_QPA_PLATFORM=offscreen
# Leaks are checked against the suppressions of system libraries that keep caches for the
# process's lifetime (fontconfig, GStreamer, PulseAudio); our own code is not suppressed.
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
ctest --test-dir "$dir" --output-on-failure --timeout 900 || status=$?
bash tests/skips.sh linux "$dir" || status=1
exit "$status"
