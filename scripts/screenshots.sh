#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the README's screenshots under Xvfb (a real X server, so fonts and styles render as on a
# desktop), at 100 % into docs/screenshots and at 200 % into docs/screenshots/200.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
"$root/scripts/bootstrap.sh"
cmake --preset default -DGPIBCONFIG_BUILD_TOOLS=ON >/dev/null
cmake --build --preset default --parallel "$(nproc)" --target screenshots
tool="$root/build/default/tools/screenshots"
xvfb-run -a -s "-screen 0 1600x1000x24" "$tool" "$root/docs/screenshots"
QT_SCALE_FACTOR=2 xvfb-run -a -s "-screen 0 3200x2000x24" "$tool" "$root/docs/screenshots/200"
