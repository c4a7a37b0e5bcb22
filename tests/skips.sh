#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# CTest counts a QtTest function that skipped as passed. This lists every function that
# skipped in the last CTest run of a build folder, from QtTest's own lines in CTest's log, and
# fails when one of them is not expected on that system (tests/expected-skips).
#   tests/skips.sh linux|windows BUILD_DIR
set -euo pipefail
system=$1
log=$2/Testing/Temporary/LastTest.log
expected=$(dirname "$0")/expected-skips
[ -f "$log" ] || { echo "FAIL: no CTest log at $log" >&2; exit 1; }
status=0
# "SKIP   : TestClass::function(data tag) reason", with a carriage return under Wine.
while IFS=$'\t' read -r function tag reason; do
    why=$(awk -v s="$system" -v f="$function" \
        '$1 == s && $2 == f { $1 = $2 = ""; print substr($0, 3); exit }' "$expected")
    if [ -n "$why" ]; then
        echo "skipped, as expected on $system ($why): $function$tag: $reason"
    else
        echo "FAIL: skipped, not expected on $system: $function$tag: $reason"
        status=1
    fi
done < <(tr -d '\r' <"$log" | sed -nE 's/^SKIP   : ([^(]+)(\([^)]*\)) ?(.*)$/\1\t\2\t\3/p')
exit "$status"
