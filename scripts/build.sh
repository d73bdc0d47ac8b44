#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures and builds the default preset (after the bootstrap).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
"$root/scripts/bootstrap.sh"
preset="${GPIBCONFIG_PRESET:-default}"
# Benchmarks are built with everything else so they never fall behind the code they measure.
cmake --preset "$preset" -DGPIBCONFIG_BUILD_BENCHMARKS=ON >/dev/null
cmake --build --preset "$preset" --parallel "$(nproc)"
