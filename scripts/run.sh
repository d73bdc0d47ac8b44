#!/usr/bin/env bash
# Builds the program and starts it on the simulated bench.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/build.sh"
bin="$root/build/default/apps"
if [ -x "$bin/gpibconfig-sim" ]; then
    exec "$bin/gpibconfig-sim" "$@"
fi
exec "$bin/gpibconfig" "$@"
