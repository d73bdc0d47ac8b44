#!/usr/bin/env bash
# Builds the program and runs every test (widget tests run headless).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/build.sh"
cd "$root"
export QT_QPA_PLATFORM=offscreen
ctest --preset "${GPIBCONFIG_PRESET:-default}" --parallel "$(nproc)"
