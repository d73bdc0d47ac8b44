#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the program and starts it on the simulated bench (gpibconfig-sim).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/build.sh"
exec "$root/build/default/apps/gpibconfig-sim/gpibconfig-sim" "$@"
