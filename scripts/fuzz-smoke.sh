#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A quick fuzzing pass for CI: builds the fuzz targets, replays every committed regression input,
# and runs each target from its committed seeds for a few seconds with a fixed seed (15 s, or
# the first argument). Fails on any crash, sanitizer report, broken property, hang or memory
# blow-up. See scripts/fuzz.sh for the long run.
set -euo pipefail
exec "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/fuzz.sh" --smoke "${1:-15}"
