#!/usr/bin/env bash
# Cross-builds Tarnwick for Windows (tools/build-windows.sh) and runs its tests under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/build-windows.sh"
source "$root/tools/wine-env.sh" "$root/build-windows"
status=0
ctest --test-dir "$root/build-windows" --output-on-failure || status=$?
wineserver -k </dev/null >/dev/null 2>&1 || true
exit "$status"
