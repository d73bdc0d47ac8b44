#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the program and its tests with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer (the asan preset) and runs the whole suite. Fails on a failing test
# and on any sanitizer report, also one from a process whose exit status no test looks at (the
# fault sweep's workers, for one): reports go to files, and any file there fails the run.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
"$root/scripts/bootstrap.sh"

reports="$root/build/asan/sanitizer-reports"
start=$SECONDS
cmake --preset asan >/dev/null
cmake --build --preset asan --parallel "$(nproc)"
built=$SECONDS

rm -rf "$reports"
mkdir -p "$reports"
status=0
GPIBCONFIG_SANITIZER_LOG="log_path=$reports/report" \
    ctest --preset asan --parallel "$(nproc)" || status=$?

shopt -s nullglob
found=("$reports"/report.*)
if [ ${#found[@]} -gt 0 ]; then
    echo "sanitize: ${#found[@]} sanitizer report(s):" >&2
    for report in "${found[@]}"; do
        echo "---- $report" >&2
        cat "$report" >&2
    done
    status=1
fi
echo "sanitize: build $((built - start)) s, tests $((SECONDS - built)) s," \
    "$([ $status -eq 0 ] && echo passed || echo FAILED)"
exit $status
