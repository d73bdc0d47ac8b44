#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the benchmarks and measures start-up, engine time per step, processor use, event-loop
# stalls and memory, and the command line's own time per function and the bus calls of a restore,
# in one run; prints a Markdown table (the README's "Performance" section). Exits non-zero when a
# command-line run it measures failed.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
"$root/scripts/bootstrap.sh"
cmake --preset default -DGPIBCONFIG_BUILD_BENCHMARKS=ON >/dev/null
cmake --build --preset default --parallel "$(nproc)" --target bench_runner startup_program startup_bare startup_label >&2
bin="$root/build/default/benchmarks"
runs="${1:-15}"
if command -v xvfb-run >/dev/null 2>&1 && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    # A real X server, so that showing a window costs what it costs on a desktop.
    exec xvfb-run -a -s "-screen 0 1280x1024x24" \
        "$bin/bench_runner" "$bin/startup_program" "$bin/startup_bare" "$bin/startup_label" "$runs"
fi
QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" \
    exec "$bin/bench_runner" "$bin/startup_program" "$bin/startup_bare" "$bin/startup_label" "$runs"
