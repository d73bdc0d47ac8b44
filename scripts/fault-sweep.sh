#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the default preset and runs the whole fault sweep: every driver call of a full run of
# every list entry, failed once with each error code. Prints one line per failure found and the
# totals last; exits non-zero when anything failed. Extra arguments go to fault_sweep
# (--entry 7311, --errors ENOL,EABO, --sample N --seed S, --workers N).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
"$root/scripts/bootstrap.sh"
build="${GPIBCONFIG_BUILD_DIR:-$root/build/default}"
cmake --preset default -B "$build" >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target fault_sweep
export QT_QPA_PLATFORM=offscreen
exec "$build/tests/sweep/fault_sweep" --workers "$(nproc)" "$@"
