#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with clang and runs each for FUZZ_SECONDS (default 30) from
# its committed seed corpus. A crash or a failed check stops the script with the input that
# caused it, written to the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh run test
dir=${BUILD_DIR:-build-fuzz}
seconds=${FUZZ_SECONDS:-30}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DWAKEWELL_FUZZ=ON
cmake --build "$dir"
export QT_QPA_PLATFORM=offscreen
for seeds in fuzz/corpus/*/; do
    target=$(basename "$seeds")
    work=$(mktemp -d)
    echo "== $target, $seconds s"
    # New inputs go to a scratch folder; the committed seeds are only read.
    "$dir/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
        -artifact_prefix="$dir/$target-" "$work" "$seeds"
    rm -rf "$work"
done
