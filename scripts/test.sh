#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the program and runs every test: the whole suite (widget tests headless), the same suite
# under AddressSanitizer and UndefinedBehaviorSanitizer, and a short run of every fuzz target with
# its regression inputs. Set GPIBCONFIG_QUICK=1 to run only the first. Before anything is built,
# every fault of the mutation list must still apply to the sources (a second, no build), so the
# list cannot fall behind the code without this command failing.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/mutation.sh" --check
"$root/scripts/build.sh"
cd "$root"
export QT_QPA_PLATFORM=offscreen
ctest --preset "${GPIBCONFIG_PRESET:-default}" --parallel "$(nproc)"
if [ "${GPIBCONFIG_QUICK:-0}" = 1 ]; then
    exit 0
fi
"$root/scripts/sanitize.sh"
"$root/scripts/fuzz-smoke.sh"
